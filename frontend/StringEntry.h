// One entry of a string table: the layout of the front ends' English table
// and of a language library's (plain C data, see app/resources/ResourceModel.h).
#pragma once

extern "C" {

struct MarrowbyString {
  unsigned id;
  const wchar_t* text;
};

}  // extern "C"
