// The program's artwork: toolbar images (normal, disabled and hot states),
// which the menus share, the selection icon and the dialogs' pictures.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include "resources/ResourceIds.h"

// Toolbar commands in button order; 0 stands for the separator.
inline constexpr unsigned kToolbarCommands[] = {
    marrowby::cmd::kNewSelection, marrowby::cmd::kBackup,   marrowby::cmd::kBackupAll,
    marrowby::cmd::kRestore,      marrowby::cmd::kViewFile, 0,
    marrowby::cmd::kHelpContents};

// The image of a toolbar command; a null icon for other commands.
QIcon CommandIcon(unsigned command);
QIcon SelectionIcon();
// The selection icon with a warning mark: not backed up for too long.
QIcon OverdueSelectionIcon();
// The SVG picture `resource` drawn for `logicalSize` at `devicePixelRatio`,
// so that it is sharp on a high-density screen.
QPixmap SvgPicture(const QString& resource, const QSize& logicalSize, qreal devicePixelRatio);
