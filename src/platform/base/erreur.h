#pragma once
// The one error type of the program. It carries the error number the procedures test
// (53 file not found, 75 path or file access, 3265 missing field, ...), so that a
// handler can tolerate exactly the numbers it expects and let the others through.
#include <QString>
#include <stdexcept>

namespace kal {

namespace err {
constexpr int Depassement = 6;           // overflow in a conversion
constexpr int IndiceHorsLimites = 9;     // index out of range
constexpr int TypeIncompatible = 13;     // text that is not a number
constexpr int FichierIntrouvable = 53;   // file not found
constexpr int FichierDejaOuvert = 55;
constexpr int FichierExiste = 58;
constexpr int DisquePlein = 61;
constexpr int FinDeFichier = 62;
constexpr int PermissionRefusee = 70;
constexpr int AccesChemin = 75;          // path or file access error
constexpr int CheminIntrouvable = 76;
constexpr int ChampAbsent = 3265;        // item not found in this collection
}  // namespace err

class Erreur : public std::runtime_error {
public:
    explicit Erreur(int numero, const QString& description = {});
    // `cause`: the reason alone, in the user's words ("le disque est plein"), when the
    // description also names the file.
    Erreur(int numero, const QString& description, const QString& cause);
    int numero() const { return numero_; }
    QString description() const { return description_; }
    // Why the step failed, without the file's name and without a final point: the cause given,
    // else the description. For a message that says itself what was not done.
    QString cause() const;

private:
    int numero_;
    QString description_;
    QString cause_;
};

}  // namespace kal
