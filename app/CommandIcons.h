// The program's artwork: toolbar images (normal, disabled and hot states),
// which the menus share, the selection icon and the wizard picture.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include "resources/ResourceIds.h"

// Toolbar commands in button order; 0 stands for the separator.
inline constexpr unsigned kToolbarCommands[] = {marrowby::cmd::kNewSelection,
                                                marrowby::cmd::kBackup,
                                                marrowby::cmd::kRestore,
                                                marrowby::cmd::kViewFile,
                                                0,
                                                marrowby::cmd::kHelpContents};

// The image of a toolbar command; a null icon for other commands.
QIcon CommandIcon(unsigned command);
QIcon SelectionIcon();
// The picture of the wizard and the selection dialogs, scaled to fit `size`.
QPixmap WizardPicture(const QSize& size);
