#include "platform/controls/listederoulante.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace kal {

ListeDeroulante::ListeDeroulante(QWidget* parent)
    : Controle(new QComboBox(parent)), boite_(static_cast<QComboBox*>(widget()))
{
    boite_->setEditable(true);
    // The text is the user's: no completion from the entries, and Enter adds no entry.
    boite_->setCompleter(nullptr);
    boite_->setInsertPolicy(QComboBox::NoInsert);
    boite_->setCurrentIndex(-1);
    boite_->lineEdit()->clear();

    // A pick from the list, the arrow keys or the wheel (the text follows the entry).
    QObject::connect(boite_, &QComboBox::activated, boite_, [this](int i) {
        if (synchro_)
            return;
        index_ = i;
        if (surClic)
            surClic();
    });
    // Typing in the text (a pick from the list changes the text without being an edit).
    QObject::connect(boite_->lineEdit(), &QLineEdit::textEdited, boite_, [this] {
        if (synchro_)
            return;
        index_ = indexDuTexte();
        if (surChangement)
            surChangement();
    });
}

void ListeDeroulante::ajouter(const QString& e)
{
    // Adding an entry never changes the text nor the index.
    const QString t = texte();
    synchro_ = true;
    boite_->addItem(e);
    if (boite_->currentIndex() != index_)
        boite_->setCurrentIndex(index_);
    montrerTexte(t);
    synchro_ = false;
}

void ListeDeroulante::vider()
{
    synchro_ = true;
    boite_->clear();
    montrerTexte(QString());
    synchro_ = false;
    index_ = -1;
}

QString ListeDeroulante::entree(int i) const { return i >= 0 && i < boite_->count() ? boite_->itemText(i) : QString(); }

QString ListeDeroulante::texte() const { return boite_->lineEdit()->text(); }

int ListeDeroulante::indexDuTexte() const
{
    const QString t = texte();
    for (int i = 0; i < boite_->count(); ++i)
        if (boite_->itemText(i) == t)
            return i;
    return -1;
}

void ListeDeroulante::montrerTexte(const QString& t)
{
    if (boite_->lineEdit()->text() != t)
        boite_->lineEdit()->setText(t);
}

void ListeDeroulante::definirIndex(int i)
{
    if (i < -1 || i >= boite_->count())
        i = -1;
    if (i == index_)
        return;
    index_ = i;
    synchro_ = true;
    boite_->setCurrentIndex(i);
    montrerTexte(entree(i));
    synchro_ = false;
    if (surClic)
        surClic();
}

void ListeDeroulante::definirTexte(const QString& t)
{
    if (t == texte())
        return;
    synchro_ = true;
    montrerTexte(t);
    synchro_ = false;
    index_ = indexDuTexte();
    if (surChangement)
        surChangement();
}

}  // namespace kal
