// The shared library's own translation unit; the engine itself comes from the
// static layers linked whole into it.
