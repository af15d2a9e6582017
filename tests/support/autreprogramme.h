#pragma once
// Another program at work on the files of a test, in its own process for the life of the object:
// it holds a lock as another copy of the program or another user of the files would. Started, it
// says "pret" once its lock is held; closing its input ends it and the system drops the lock.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kaltest {

class AutreProgramme {
public:
    enum class Verrou {
        Dossier,   // the whole work folder, as another copy of the program locks it
        Base,      // a database file, held by another program in the middle of its own writing
    };

    AutreProgramme(Verrou v, const QString& chemin)
    {
        const QString script = v == Verrou::Dossier ? QStringLiteral("import fcntl, os, sys\n"
                                                                     "fd = os.open(sys.argv[1], os.O_RDONLY | os.O_DIRECTORY)\n"
                                                                     "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                                                                     "print('pret', flush=True)\n"
                                                                     "sys.stdin.read()\n")
                                                    : QStringLiteral("import sqlite3, sys\n"
                                                                     "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                                                     "c.execute('BEGIN EXCLUSIVE')\n"
                                                                     "print('pret', flush=True)\n"
                                                                     "sys.stdin.read()\n");
        p_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p_.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, chemin});
        QByteArray sortie;
        // A busy machine may take seconds to start the interpreter.
        while (!sortie.contains("pret") && p_.waitForReadyRead(60000))
            sortie += p_.readAllStandardOutput();
        pret_ = sortie.contains("pret");
    }
    ~AutreProgramme()
    {
        p_.closeWriteChannel();
        if (!p_.waitForFinished(10000)) {
            p_.kill();
            p_.waitForFinished(5000);
        }
    }
    AutreProgramme(const AutreProgramme&) = delete;
    AutreProgramme& operator=(const AutreProgramme&) = delete;
    bool pret() const { return pret_; }

private:
    QProcess p_;
    bool pret_ = false;
};

}  // namespace kaltest
