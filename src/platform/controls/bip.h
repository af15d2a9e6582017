#pragma once
// The system beep. In tests a counter stands in for the loudspeaker and counts the beeps.
namespace kal {

// Sounds the beep, or counts it on the installed counter.
void bip();

// Counts the beeps for as long as it lives, in place of the loudspeaker (the last one made is
// in force; its end puts the loudspeaker back).
class CompteurBips {
public:
    CompteurBips();
    ~CompteurBips();
    CompteurBips(const CompteurBips&) = delete;
    CompteurBips& operator=(const CompteurBips&) = delete;

    int nombre() const { return nombre_; }
    void oublier() { nombre_ = 0; }

private:
    friend void bip();
    int nombre_ = 0;
    CompteurBips* precedent_ = nullptr;
};

}  // namespace kal
