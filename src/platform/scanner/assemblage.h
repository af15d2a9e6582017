#pragma once
// Assembles the picture a scanner sends, frame by frame and line by line, into a 24-bit colour
// image. A device sends either one frame (grey or red-green-blue interleaved) or three frames of
// one colour each, with 1, 8 or 16 bits per sample; the number of lines may be unknown until the
// data ends (hand-held scanners).
#include <QImage>

#include <cstddef>
#include <vector>

namespace kal::scan {

struct ParametresTrame {
    enum class Genre { Gris, RVB, Rouge, Vert, Bleu };
    Genre genre = Genre::Gris;
    bool derniere = true;
    int octetsParLigne = 0;
    int pixelsParLigne = 0;
    int lignes = -1;       // -1: unknown until the data ends
    int profondeur = 8;    // bits per sample: 1, 8 or 16
};

class AssemblageImage {
public:
    // Largest picture accepted, in bytes of 24-bit pixels.
    static constexpr std::size_t TailleMax = std::size_t(1) << 31;

    // Starts a frame. Parameters that cannot describe a picture, or a colour frame whose width
    // differs from the first one's, raise error 20002.
    void debutTrame(const ParametresTrame& p);
    // Data of the current frame, cut anywhere (a line may span several calls).
    void ajouter(const unsigned char* donnees, std::size_t n);
    // The lines received so far make up the frame; a trailing part-line is dropped.
    void finTrame();

    int largeur() const { return largeur_; }
    int lignesRecues() const { return lignes_; }
    // The picture, 24 bits (QImage::Format_RGB888). Raises 20002 when no line arrived.
    QImage image() const;

private:
    void ligneComplete();
    void ecrireLigne(int y);

    ParametresTrame p_;
    bool enTrame_ = false;
    int largeur_ = 0;
    int lignes_ = 0;        // lines of the picture so far (the most any frame brought)
    int ligneTrame_ = 0;    // next line of the current frame
    std::vector<unsigned char> ligne_;   // the line being received
    std::size_t remplie_ = 0;
    std::vector<unsigned char> rvb_;     // 3 bytes per pixel, lines one after the other
};

}  // namespace kal::scan
