#pragma once
// Message boxes: a style made of the button set plus the icon (16 critical, 32 question,
// 48 exclamation, 64 information), an upper-case title, and lines separated by a carriage
// return alone. In tests an answerer stands in for the person and records what was shown.
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace kal {

namespace msg {
// Buttons
constexpr int OK = 0;
constexpr int OKAnnuler = 1;
constexpr int OuiNonAnnuler = 3;
constexpr int OuiNon = 4;
// Icons
constexpr int Critique = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
// Answers
constexpr int RepOK = 1;
constexpr int RepAnnuler = 2;
constexpr int RepOui = 6;
constexpr int RepNon = 7;
}  // namespace msg

// The lines of a message joined by a carriage return (character 13).
QString lignesMessage(const QStringList& lignes);

struct MessageAffiche {
    QString titre;
    QString texte;   // the lines joined by carriage returns, as passed
    int style = 0;
    QStringList lignes() const { return texte.split(QLatin1Char('\r')); }
};

class Repondeur {
public:
    virtual ~Repondeur() = default;
    virtual int repondre(const MessageAffiche& m) = 0;
};

// Shows the message and returns the button chosen. Without an installed answerer a real
// modal QMessageBox is shown.
int MsgBox(const QString& texte, int style = msg::OK, const QString& titre = {});

// Qt's own dialogs (colour and file choosers, the standard buttons) in French, from the
// translations of Qt installed on the system; without them they stay in English. Once.
void installerTraductionsFrancaises();

// Installs an answerer in place of the person (nullptr puts the real box back).
void installerRepondeur(Repondeur* r);

// Answerer for tests: records every message and gives the queued answers in order, then the
// default answer (OK for a box that has it, else the first button).
class RepondeurEnregistreur : public Repondeur {
public:
    RepondeurEnregistreur() { installerRepondeur(this); }
    ~RepondeurEnregistreur() override { installerRepondeur(nullptr); }
    int repondre(const MessageAffiche& m) override;

    void prevoir(int reponse) { reponses_.push_back(reponse); }
    const std::vector<MessageAffiche>& messages() const { return messages_; }
    void oublier() { messages_.clear(); }

private:
    std::vector<MessageAffiche> messages_;
    std::deque<int> reponses_;
};

}  // namespace kal
