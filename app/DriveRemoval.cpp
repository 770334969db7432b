#include "DriveRemoval.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStandardPaths>
#include <QVariantMap>

#include "linuxdesktop/DetachedProcess.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
constexpr int kTimeoutMs = 10000;

// One call to the disk service, waited for.
QDBusMessage Call(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
  call.setArguments(arguments);
  return bus.call(call, QDBus::Block, kTimeoutMs);
}

QVariant Property(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& name) {
  const QDBusMessage reply = Call(bus, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                  QStringLiteral("Get"), {interface, name});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return QVariant();
  return qdbus_cast<QDBusVariant>(reply.arguments().front()).variant();
}

}  // namespace

const char* const kDriveRemovalScript =
    "pid=\"$1\"; block=\"$2\"; drive=\"$3\"; done_text=\"$4\"; failed_text=\"$5\"; "
    "busy_text=\"$6\"; "
    "while kill -0 \"$pid\" 2>/dev/null; do sleep 0.2; done; "
    "tell() { gdbus call --session --dest org.freedesktop.Notifications "
    "--object-path /org/freedesktop/Notifications "
    "--method org.freedesktop.Notifications.Notify "
    "Brindle+ 0 drive-removable-media \"$1\" '' '[]' '{}' 'int32 -1' >/dev/null 2>&1; }; "
    // gdbus reads each argument as a GVariant text, a text it cannot read as
    // a string ("-1" would be an option). It says "GDBus.Error:NAME: message".
    "fail() { case \"$1\" in *Error.DeviceBusy*) tell \"$busy_text\";; "
    "*) tell \"$(printf \"$failed_text\" \"${1##*: }\")\";; esac; exit 1; }; "
    "out=$(gdbus call --system --dest org.freedesktop.UDisks2 --object-path \"$block\" "
    "--method org.freedesktop.UDisks2.Filesystem.Unmount '{}' 2>&1) || fail \"$out\"; "
    "out=$(gdbus call --system --dest org.freedesktop.UDisks2 --object-path \"$drive\" "
    "--method org.freedesktop.UDisks2.Drive.PowerOff '{}' 2>&1) || fail \"$out\"; "
    "tell \"$done_text\"";

RemovalCheck PlanDriveRemoval(const QString& uuid, DriveRemovalPlan* plan) {
  const QDBusConnection bus = QDBusConnection::systemBus();
  // The helper needs gdbus of the computer's own GLib.
  if (!bus.isConnected() || QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty()) {
    return RemovalCheck::kNoService;
  }
  const QDBusMessage found =
      Call(bus, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
           QStringLiteral("org.freedesktop.UDisks2.Manager"), QStringLiteral("ResolveDevice"),
           {QVariantMap{{QStringLiteral("uuid"), uuid}}, QVariantMap()});
  if (found.type() != QDBusMessage::ReplyMessage) {
    // No such service, or one too old to resolve a UUID.
    return RemovalCheck::kNoService;
  }
  const QList<QDBusObjectPath> blocks =
      found.arguments().isEmpty() ? QList<QDBusObjectPath>()
                                  : qdbus_cast<QList<QDBusObjectPath>>(found.arguments().front());
  if (blocks.isEmpty()) return RemovalCheck::kNotFound;
  plan->block = blocks.front().path();
  plan->drive = Property(bus, plan->block, QStringLiteral("org.freedesktop.UDisks2.Block"),
                         QStringLiteral("Drive"))
                    .value<QDBusObjectPath>()
                    .path();
  if (plan->drive.isEmpty() || plan->drive == QStringLiteral("/")) {
    return RemovalCheck::kNotRemovable;
  }
  const auto drive = [&](const char* name) {
    return Property(bus, plan->drive, QStringLiteral("org.freedesktop.UDisks2.Drive"),
                    QString::fromLatin1(name))
        .toBool();
  };
  return drive("CanPowerOff") && (drive("Removable") || drive("Ejectable"))
             ? RemovalCheck::kReady
             : RemovalCheck::kNotRemovable;
}

bool StartDriveRemovalHelper(const DriveRemovalPlan& plan, const DriveRemovalTexts& texts) {
  const QString self = QString::number(QCoreApplication::applicationPid());
  return linuxdesktop::StartDetached({"/bin/sh", "-c", kDriveRemovalScript, "marrowby-remove",
                                      self.toStdString(), plan.block.toStdString(),
                                      plan.drive.toStdString(), texts.done.toStdString(),
                                      texts.failed.toStdString(), texts.busy.toStdString()});
}
