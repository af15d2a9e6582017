// The CPU the program spends from its start until its start window is on the screen, beside the
// same for a bare Qt Widgets program (fenetre_nue: an empty QWidget shown, same Qt, same build)
// and for that window holding a list like the start window's (fenetre_nue --liste: what Qt
// alone spends to lay out text before the window is mapped).
//
// Each program is started N times, the three in turn, each in a work folder of its own under /tmp
// (the program writes VORDEX.TXT and persopag there, as at every start). Everything is watched
// from outside, nothing in the programs knows it is measured: this bench listens on the X
// server for the first top-level window mapped by the child (its _NET_WM_PID), stops the child
// at once (SIGSTOP), and adds up the CPU time, user and system, of all its threads so far
// (/proc/<pid>/task/*/schedstat, in nanoseconds). The child is then killed; its CPU as wait4()
// reports it (which also counts threads already gone and the kernel's work tearing the process
// down) and the wall time from fork to the mapped window are printed beside it.
//
// Run it on a bare X server, without a window manager (a window manager maps a frame of its own
// and re-parents the window, which this bench does not follow):
//
//   Xvfb :65 -screen 0 1024x768x24 &
//   DISPLAY=:65 build/bench/bench_demarrage [--tours N] [--nue PROGRAMME] [--programme PROGRAMME]...
//
// Defaults: 20 rounds, after one round not counted (it fills the page cache); the programs of
// this build. --programme may be given more than once (two builds compared under the same load).
// Prints min and median of each and the ratios of each program to the two yardsticks.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Horloge = std::chrono::steady_clock;

struct Mesure {
    double cpuMs = 0;      // all threads' CPU at the mapped window
    double cpuFinMs = 0;   // wait4() after the kill
    double murMs = 0;      // wall time from fork to the mapped window
    int fils = 0;          // threads alive at the mapped window
};

struct Serie {
    std::string nom;
    std::string chemin;
    std::string argument;   // none when empty
    std::string dossier;
    std::vector<Mesure> mesures;
};

double mediane(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double minimum(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

// The CPU time of every live thread of the process, in ms.
double cpuFils(pid_t pid, int& fils)
{
    double ns = 0;
    fils = 0;
    const std::filesystem::path taches = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& t : std::filesystem::directory_iterator(taches)) {
        std::ifstream f(t.path() / "schedstat");
        unsigned long long execution = 0;
        if (f >> execution) {
            ns += double(execution);
            ++fils;
        }
    }
    return ns / 1e6;
}

class Ecoute {
public:
    Ecoute()
    {
        cx_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(cx_)) {
            std::fprintf(stderr, "bench_demarrage: no X server (DISPLAY)\n");
            std::exit(2);
        }
        racine_ = xcb_setup_roots_iterator(xcb_get_setup(cx_)).data->root;
        const uint32_t masque = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(cx_, racine_, XCB_CW_EVENT_MASK, &masque);
        const char nom[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(cx_, xcb_intern_atom(cx_, 0, sizeof nom - 1, nom), nullptr);
        pidAtome_ = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        xcb_flush(cx_);
    }
    ~Ecoute() { xcb_disconnect(cx_); }
    Ecoute(const Ecoute&) = delete;
    Ecoute& operator=(const Ecoute&) = delete;

    int descripteur() const { return xcb_get_file_descriptor(cx_); }

    // The next top-level window mapped since the last call, when there is one waiting.
    std::optional<xcb_window_t> fenetreMontree()
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(cx_)) {
            std::optional<xcb_window_t> w;
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* m = reinterpret_cast<const xcb_map_notify_event_t*>(e);
                if (m->event == racine_ && !m->override_redirect)
                    w = m->window;
            }
            free(e);
            if (w)
                return w;
        }
        return std::nullopt;
    }

    long pidDe(xcb_window_t w)
    {
        xcb_get_property_reply_t* r =
            xcb_get_property_reply(cx_, xcb_get_property(cx_, 0, w, pidAtome_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        long pid = -1;
        if (r && xcb_get_property_value_length(r) == 4)
            pid = long(*static_cast<const uint32_t*>(xcb_get_property_value(r)));
        free(r);
        return pid;
    }

private:
    xcb_connection_t* cx_ = nullptr;
    xcb_window_t racine_ = 0;
    xcb_atom_t pidAtome_ = XCB_ATOM_NONE;
};

std::optional<Mesure> demarrer(Ecoute& ecoute, const Serie& s)
{
    while (ecoute.fenetreMontree()) {
    }
    const auto t0 = Horloge::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(s.dossier.c_str()) != 0)
            _exit(126);
        // What the programs say on their outputs is no part of the measure.
        const int nul = open("/dev/null", O_WRONLY);
        dup2(nul, 1);
        dup2(nul, 2);
        if (s.argument.empty())
            execl(s.chemin.c_str(), s.chemin.c_str(), static_cast<char*>(nullptr));
        else
            execl(s.chemin.c_str(), s.chemin.c_str(), s.argument.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Mesure m;
    bool vue = false;
    while (!vue) {
        pollfd p{ecoute.descripteur(), POLLIN, 0};
        poll(&p, 1, 20);
        while (auto w = ecoute.fenetreMontree()) {
            kill(pid, SIGSTOP);
            if (ecoute.pidDe(*w) == pid) {
                m.murMs = std::chrono::duration<double, std::milli>(Horloge::now() - t0).count();
                vue = true;
                break;
            }
            kill(pid, SIGCONT);
        }
        int etat = 0;
        if (!vue && waitpid(pid, &etat, WNOHANG) == pid) {
            std::fprintf(stderr, "bench_demarrage: %s ended before showing a window\n", s.chemin.c_str());
            return std::nullopt;
        }
        if (!vue && Horloge::now() - t0 > std::chrono::seconds(30)) {
            kill(pid, SIGKILL);
            waitpid(pid, &etat, 0);
            std::fprintf(stderr, "bench_demarrage: %s showed no window in 30 s\n", s.chemin.c_str());
            return std::nullopt;
        }
    }
    int etat = 0;
    waitpid(pid, &etat, WUNTRACED);   // every thread stopped
    m.cpuMs = cpuFils(pid, m.fils);
    kill(pid, SIGKILL);
    rusage u{};
    wait4(pid, &etat, 0, &u);
    m.cpuFinMs = (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3)
                 + (double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3);
    return m;
}

void afficher(const Serie& s)
{
    std::vector<double> cpu, fin, mur;
    for (const Mesure& m : s.mesures) {
        cpu.push_back(m.cpuMs);
        fin.push_back(m.cpuFinMs);
        mur.push_back(m.murMs);
    }
    std::printf("%-14s CPU at map min %7.2f med %7.2f ms | CPU at reap min %7.2f med %7.2f | wall min %7.2f med %7.2f"
                " | threads %d\n",
                s.nom.c_str(), minimum(cpu), mediane(cpu), minimum(fin), mediane(fin), minimum(mur), mediane(mur),
                s.mesures.empty() ? 0 : s.mesures.back().fils);
}

}  // namespace

int main(int argc, char** argv)
{
    int tours = 20;
    std::vector<Serie> series{{"bare window", KAL_PROG_NUE, {}, {}, {}}, {"bare + list", KAL_PROG_NUE, "--liste", {}, {}}};
    std::vector<std::string> programmes;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--tours")
            tours = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--nue")
            series[0].chemin = series[1].chemin = argv[i + 1];
        else if (a == "--programme")
            programmes.push_back(argv[i + 1]);
    }
    if (programmes.empty())
        programmes.push_back(KAL_PROG_KALMORIN);
    for (const std::string& p : programmes)
        series.push_back({std::filesystem::path(p).filename().string(), p, {}, {}, {}});
    for (Serie& s : series) {
        char modele[] = "/tmp/bench_demarrage.XXXXXX";
        if (!mkdtemp(modele)) {
            std::perror("mkdtemp");
            return 2;
        }
        s.dossier = modele;
    }

    Ecoute ecoute;
    for (int t = 0; t <= tours; ++t) {
        // All in turn, each first in its own rounds: a change of the machine's load falls on all.
        for (std::size_t k = 0; k < series.size(); ++k) {
            Serie& s = series[(std::size_t(t) + k) % series.size()];
            const std::optional<Mesure> m = demarrer(ecoute, s);
            if (!m)
                return 1;
            if (t > 0)
                s.mesures.push_back(*m);
        }
    }

    std::printf("%d rounds (one more not counted)\n", tours);
    for (const Serie& s : series)
        afficher(s);
    // Against each yardstick: the ratio of the minima, of the medians, and the median of the ratios
    // within a round (the runs of one round ran under nearly the same load).
    for (std::size_t p = 2; p < series.size(); ++p)
        for (std::size_t r = 0; r < 2; ++r) {
            std::vector<double> a, b, q;
            for (std::size_t t = 0; t < series[p].mesures.size(); ++t) {
                a.push_back(series[p].mesures[t].cpuMs);
                b.push_back(series[r].mesures[t].cpuMs);
                q.push_back(a.back() / b.back());
            }
            std::printf("%s / %s, CPU at map: min %.3f  median %.3f  per round %.3f\n", series[p].nom.c_str(),
                        series[r].nom.c_str(), minimum(a) / minimum(b), mediane(a) / mediane(b), mediane(q));
        }

    for (const Serie& s : series)
        std::filesystem::remove_all(s.dossier);
    return 0;
}
