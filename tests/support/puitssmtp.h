#pragma once
// Mail in tests: a real SMTP sink on 127.0.0.1 that records what it receives, the system's
// sendmail (msmtp) configured to deliver to it, and stand-in programs first on PATH.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

namespace kaltest {

struct CourrierRecu {
    QString expediteur;
    QStringList destinataires;
    QByteArray contenu;     // the data as received, CR LF lines

    QByteArray entetes() const;   // up to the first blank line
    QByteArray corps() const;     // after it
    // The value of the first header of that name ("" when there is none).
    QByteArray entete(const QByteArray& nom) const;
};

// A folder put first on PATH for the life of the object, PATH back after.
class CheminEssai {
public:
    // seul: PATH holds only this folder (no system program can be found).
    explicit CheminEssai(bool seul = false);
    ~CheminEssai();
    CheminEssai(const CheminEssai&) = delete;
    CheminEssai& operator=(const CheminEssai&) = delete;
    QString dossier() const { return dir_.path(); }
    // Writes an executable shell script of that name into the folder; returns its path.
    QString script(const QString& nom, const QByteArray& corps) const;

private:
    QTemporaryDir dir_;
    QByteArray ancien_;
};

class PuitsSmtp {
public:
    PuitsSmtp();
    ~PuitsSmtp();
    PuitsSmtp(const PuitsSmtp&) = delete;
    PuitsSmtp& operator=(const PuitsSmtp&) = delete;

    // True once the sink answers on its port; otherwise erreur() says why.
    bool pret() const { return pret_; }
    QString erreur() const { return erreur_; }
    int port() const { return port_; }

    // An msmtp configuration file that delivers to this sink.
    QString configMsmtp() const;
    // Writes into `chemin` a `sendmail` that runs the system's sendmail with that configuration
    // and notes its arguments (one a line) in argumentsSendmail().
    void installerSendmail(const CheminEssai& chemin) const;
    QStringList argumentsSendmail() const;

    // The messages received so far, in order.
    std::vector<CourrierRecu> recus() const;
    // Waits until at least n messages came (true) or ms went by (false).
    bool attendre(size_t n, int ms = 10000) const;

private:
    QTemporaryDir dir_;
    QProcess sink_;
    int port_ = 0;
    bool pret_ = false;
    QString erreur_;
};

// Waits until the file exists and is not empty (true) or ms went by (false).
bool attendreFichier(const QString& chemin, int ms = 10000);

}  // namespace kaltest
