#pragma once
// Mail: a message with one fixed recipient, a subject and a typed body, handed without any
// dialog to the system's sendmail interface (`sendmail -t -oi`), which takes the recipient
// from the To header and delivers it through the user's mail set-up.
//
// The message is written in one form whatever the text: the fixed headers, a blank line, then
// the body as UTF-8 text with CR LF line ends; the typed text never stands among the headers,
// and a line holding only "." is plain text (-oi). A line longer than mail allows (998 octets)
// makes the whole body go quoted-printable instead of 8bit.
#include <QByteArray>
#include <QString>

namespace kal::courrier {

namespace err {
// The mail system ran and did not deliver the message (exit code, killed, no answer in time).
constexpr int EnvoiEchoue = 32002;
// There is no mail system: no sendmail program, or it could not be started.
constexpr int SystemeAbsent = 32003;
}  // namespace err

struct Message {
    QString nomDestinataire;      // display name of the recipient
    QString adresseDestinataire;  // address of the recipient
    QString sujet;
    QString texte;                // the body as typed; line breaks CR LF, CR or LF
};

// The message as it is handed to sendmail.
QByteArray composer(const Message& m);

// The sendmail program: the first `sendmail` on PATH, else /usr/sbin/sendmail or
// /usr/lib/sendmail; empty when there is none.
QString programmeCourrier();

// Sends the message through `programme -t -oi` (the program of programmeCourrier() when
// empty) and waits for it at most delaiMs. Raises Erreur SystemeAbsent when there is no
// program or it cannot be started, EnvoiEchoue when it fails; the description holds what the
// program said.
void envoyer(const Message& m, const QString& programme = {}, int delaiMs = 60000);

}  // namespace kal::courrier
