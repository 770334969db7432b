// Stand-ins for the desktop's services on a private bus, for the tests: the
// login manager's sleep lock, the notification service and the disk service
// (UDisks2), each logging what it was asked to a file, one line per call.
//
//     fake_desktop_services LOG_FILE
//
// Prints "ready" once it owns every name. The disk service knows three file
// systems by UUID: STICK-1 (a USB stick), STICK-BUSY (one whose unmount finds
// it busy) and FIXED-1 (a partition of a fixed disk).
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QSocketNotifier>
#include <QVariantMap>
#include <cstdio>

namespace {

QString g_logFile;

void Log(const QString& line) {
  QFile file(g_logFile);
  if (file.open(QIODevice::Append)) file.write((line + u'\n').toUtf8());
}

class Login1 : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode) {
    Log(QStringLiteral("Inhibit %1|%2|%3|%4").arg(what, who, why, mode));
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return QDBusUnixFileDescriptor();
    // The lock lasts until the caller closes the end it was handed.
    auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
    connect(watch, &QSocketNotifier::activated, this, [watch, end = ends[0]] {
      Log(QStringLiteral("released"));
      watch->setEnabled(false);
      watch->deleteLater();
      close(end);
    });
    QDBusUnixFileDescriptor handed(ends[1]);  // a copy of it
    close(ends[1]);
    return handed;
  }
};

class Notifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public slots:
  uint Notify(const QString& program, uint, const QString&, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap&, int) {
    Log(QStringLiteral("Notify %1|%2|%3").arg(program, summary, body));
    return 1;
  }
};

const char kBlocks[] = "/org/freedesktop/UDisks2/block_devices/";
const char kDrives[] = "/org/freedesktop/UDisks2/drives/";

// The disk service: every object below /org/freedesktop/UDisks2.
class UDisks : public QDBusVirtualObject {
 public:
  QString introspect(const QString& path) const override {
    if (path.endsWith(QStringLiteral("/Manager"))) {
      return QStringLiteral(
          "<interface name=\"org.freedesktop.UDisks2.Manager\"><method name=\"ResolveDevice\">"
          "<arg type=\"a{sv}\" direction=\"in\"/><arg type=\"a{sv}\" direction=\"in\"/>"
          "<arg type=\"ao\" direction=\"out\"/></method></interface>");
    }
    if (path.startsWith(QLatin1String(kBlocks))) {
      return QStringLiteral(
          "<interface name=\"org.freedesktop.UDisks2.Filesystem\"><method name=\"Unmount\">"
          "<arg type=\"a{sv}\" direction=\"in\"/></method></interface>"
          "<interface name=\"org.freedesktop.UDisks2.Block\">"
          "<property name=\"Drive\" type=\"o\" access=\"read\"/></interface>");
    }
    if (path.startsWith(QLatin1String(kDrives))) {
      return QStringLiteral(
          "<interface name=\"org.freedesktop.UDisks2.Drive\"><method name=\"PowerOff\">"
          "<arg type=\"a{sv}\" direction=\"in\"/></method></interface>");
    }
    return QString();
  }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
    const QString path = message.path();
    const QString member = message.member();
    const QString name = path.section(u'/', -1);
    QVariantList out;
    if (member == QLatin1String("ResolveDevice")) {
      const QString uuid = qdbus_cast<QVariantMap>(message.arguments().value(0))
                               .value(QStringLiteral("uuid"))
                               .toString();
      const QString block = uuid == QLatin1String("STICK-1")      ? QStringLiteral("sdz1")
                            : uuid == QLatin1String("STICK-BUSY") ? QStringLiteral("sdy1")
                            : uuid == QLatin1String("FIXED-1")    ? QStringLiteral("nvme0n1p2")
                                                                  : QString();
      QList<QDBusObjectPath> found;
      if (!block.isEmpty()) found << QDBusObjectPath(QLatin1String(kBlocks) + block);
      out << QVariant::fromValue(found);
    } else if (member == QLatin1String("Get")) {
      const QString property = message.arguments().value(1).toString();
      QVariant value;
      if (property == QLatin1String("Drive")) {
        value = QVariant::fromValue(QDBusObjectPath(
            QLatin1String(kDrives) +
            (name.startsWith(u'n') ? QStringLiteral("Fixed") : QStringLiteral("Stick"))));
      } else {
        value = path.endsWith(QStringLiteral("/Stick"));  // Removable, Ejectable, CanPowerOff
      }
      out << QVariant::fromValue(QDBusVariant(value));
    } else if (member == QLatin1String("Unmount")) {
      Log(QStringLiteral("Unmount ") + name);
      if (name == QLatin1String("sdy1")) {
        bus.send(
            message.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy"),
                                     QStringLiteral("Error unmounting /dev/sdy1: target is busy")));
        return true;
      }
    } else if (member == QLatin1String("PowerOff")) {
      Log(QStringLiteral("PowerOff ") + name);
    } else {
      return false;
    }
    bus.send(message.createReply(out));
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc < 2) return 2;
  g_logFile = QString::fromLocal8Bit(argv[1]);
  QDBusConnection bus = QDBusConnection::sessionBus();
  Login1 login;
  Notifications notifications;
  UDisks disks;
  const bool ok = bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &login,
                                     QDBusConnection::ExportAllSlots) &&
                  bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                     &notifications, QDBusConnection::ExportAllSlots) &&
                  bus.registerVirtualObject(QStringLiteral("/org/freedesktop/UDisks2"), &disks,
                                            QDBusConnection::SubPath) &&
                  bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
                  bus.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
                  bus.registerService(QStringLiteral("org.freedesktop.UDisks2"));
  if (!ok) return 1;
  std::puts("ready");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

#include "FakeDesktopServices.moc"
