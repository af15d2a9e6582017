#include "support/puitssmtp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kaltest {

namespace {

// A port of 127.0.0.1 that nothing listens on now.
int portLibre()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    int port = 0;
    socklen_t n = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool repond(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

void ecrire(const QString& chemin, const QByteArray& contenu, QFile::Permissions droits)
{
    QFile f(chemin);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(contenu);
    f.close();
    f.setPermissions(droits);
}

}  // namespace

QByteArray CourrierRecu::entetes() const
{
    const qsizetype i = contenu.indexOf("\r\n\r\n");
    return i < 0 ? contenu : contenu.left(i + 2);
}

QByteArray CourrierRecu::corps() const
{
    const qsizetype i = contenu.indexOf("\r\n\r\n");
    return i < 0 ? QByteArray() : contenu.mid(i + 4);
}

QByteArray CourrierRecu::entete(const QByteArray& nom) const
{
    for (const QByteArray& ligne : entetes().split('\n')) {
        const QByteArray l = ligne.endsWith('\r') ? ligne.chopped(1) : ligne;
        if (l.toLower().startsWith(nom.toLower() + ':'))
            return l.mid(nom.size() + 1).trimmed();
    }
    return {};
}

CheminEssai::CheminEssai(bool seul) : ancien_(qgetenv("PATH"))
{
    qputenv("PATH", seul ? dir_.path().toLocal8Bit() : dir_.path().toLocal8Bit() + ':' + ancien_);
}

CheminEssai::~CheminEssai() { qputenv("PATH", ancien_); }

QString CheminEssai::script(const QString& nom, const QByteArray& corps) const
{
    const QString chemin = dir_.filePath(nom);
    ecrire(chemin, "#!/bin/sh\n" + corps + '\n',
           QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    return chemin;
}

PuitsSmtp::PuitsSmtp()
{
    port_ = portLibre();
    if (port_ == 0) {
        erreur_ = QStringLiteral("pas de port libre sur 127.0.0.1");
        return;
    }
    QDir().mkpath(dir_.filePath(QStringLiteral("recus")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(KAL_SOURCE_DIR "/tests/support"));
    sink_.setProcessEnvironment(env);
    sink_.setProcessChannelMode(QProcess::MergedChannels);
    // Debian's python, which sees Debian's aiosmtpd.
    sink_.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-m"), QStringLiteral("aiosmtpd"), QStringLiteral("-n"), QStringLiteral("-l"),
                 QStringLiteral("127.0.0.1:%1").arg(port_), QStringLiteral("-c"), QStringLiteral("puits_smtp.Enregistreur"),
                 dir_.filePath(QStringLiteral("recus"))});
    if (!sink_.waitForStarted(10000)) {
        erreur_ = QStringLiteral("le puits SMTP ne démarre pas: ") + sink_.errorString();
        return;
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000) {
        if (sink_.state() != QProcess::Running) {
            erreur_ = QStringLiteral("le puits SMTP s'est arrêté: ") + QString::fromLocal8Bit(sink_.readAll());
            return;
        }
        if (repond(port_)) {
            pret_ = true;
            return;
        }
        QThread::msleep(50);
    }
    erreur_ = QStringLiteral("le puits SMTP ne répond pas sur le port %1").arg(port_);
}

PuitsSmtp::~PuitsSmtp()
{
    if (sink_.state() != QProcess::NotRunning) {
        sink_.terminate();
        if (!sink_.waitForFinished(5000)) {
            sink_.kill();
            sink_.waitForFinished(2000);
        }
    }
}

QString PuitsSmtp::configMsmtp() const
{
    const QString chemin = dir_.filePath(QStringLiteral("msmtprc"));
    if (!QFileInfo::exists(chemin))
        ecrire(chemin,
               QStringLiteral("defaults\nauth off\ntls off\naccount puits\nhost 127.0.0.1\nport %1\nfrom essai@localhost\n"
                              "account default : puits\n")
                   .arg(port_)
                   .toUtf8(),
               QFile::ReadOwner | QFile::WriteOwner);
    return chemin;
}

void PuitsSmtp::installerSendmail(const CheminEssai& chemin) const
{
    const QByteArray args = dir_.filePath(QStringLiteral("arguments")).toLocal8Bit();
    chemin.script(QStringLiteral("sendmail"), "printf '%s\\n' \"$@\" > '" + args + "'\nexec /usr/sbin/sendmail -C '"
                                                  + configMsmtp().toLocal8Bit() + "' \"$@\"");
}

QStringList PuitsSmtp::argumentsSendmail() const
{
    QFile f(dir_.filePath(QStringLiteral("arguments")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList r = QString::fromLocal8Bit(f.readAll()).split(QLatin1Char('\n'));
    if (!r.isEmpty() && r.last().isEmpty())
        r.removeLast();
    return r;
}

std::vector<CourrierRecu> PuitsSmtp::recus() const
{
    std::vector<CourrierRecu> r;
    const QDir d(dir_.filePath(QStringLiteral("recus")));
    for (const QString& nom : d.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        CourrierRecu c;
        QFile eml(d.filePath(nom));
        if (eml.open(QIODevice::ReadOnly))
            c.contenu = eml.readAll();
        QFile json(d.filePath(QFileInfo(nom).completeBaseName() + QStringLiteral(".json")));
        if (json.open(QIODevice::ReadOnly)) {
            const QJsonObject o = QJsonDocument::fromJson(json.readAll()).object();
            c.expediteur = o.value(QStringLiteral("de")).toString();
            for (const QJsonValue& v : o.value(QStringLiteral("pour")).toArray())
                c.destinataires << v.toString();
        }
        r.push_back(c);
    }
    return r;
}

bool PuitsSmtp::attendre(size_t n, int ms) const
{
    QElapsedTimer t;
    t.start();
    while (recus().size() < n) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool attendreFichier(const QString& chemin, int ms)
{
    QElapsedTimer t;
    t.start();
    while (QFileInfo(chemin).size() <= 0) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

}  // namespace kaltest
