// The database engine's file steps through the fault seam of the file layer (platform/base/panne.h):
// a VFS wrapped around the system's own ("unix"), made the default, that asks the seam before each
// write, truncation, flush, removal, open for writing and mapping of the log's index, and answers
// as the system's VFS does when the disk refuses: an open for writing that fails falls back to
// reading only, a write on a full disk is SQLITE_FULL. Not armed, each step costs one atomic load
// more.
#include "platform/base/panne.h"
#include "platform/database/interne.h"

#include <mutex>

namespace kal::bd::interne {

namespace {

sqlite3_vfs* systeme = nullptr;

struct Fichier {
    sqlite3_file base;
    sqlite3_file* reel;   // the system VFS's file, right after this one
    const char* nom;
};

sqlite3_file* reel(sqlite3_file* f) { return reinterpret_cast<Fichier*>(f)->reel; }
const char* nomDe(sqlite3_file* f)
{
    const char* n = reinterpret_cast<Fichier*>(f)->nom;
    return n ? n : "";
}

int echecEcriture(int e, int code)
{
    errno = e;
    return e == ENOSPC || e == EDQUOT ? SQLITE_FULL : code;
}

int fermer(sqlite3_file* f)
{
    const int rc = reel(f)->pMethods->xClose(reel(f));
    f->pMethods = nullptr;
    return rc;
}
int lire(sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return reel(f)->pMethods->xRead(reel(f), p, n, o); }
int ecrire(sqlite3_file* f, const void* p, int n, sqlite3_int64 o)
{
    if (const int e = panne::verifier("ecrire base", nomDe(f)))
        return echecEcriture(e, SQLITE_IOERR_WRITE);
    return reel(f)->pMethods->xWrite(reel(f), p, n, o);
}
int tronquer(sqlite3_file* f, sqlite3_int64 t)
{
    if (const int e = panne::verifier("tronquer base", nomDe(f)))
        return echecEcriture(e, SQLITE_IOERR_TRUNCATE);
    return reel(f)->pMethods->xTruncate(reel(f), t);
}
int synchroniser(sqlite3_file* f, int d)
{
    if (const int e = panne::verifier("synchroniser base", nomDe(f)))
        return echecEcriture(e, SQLITE_IOERR_FSYNC);
    return reel(f)->pMethods->xSync(reel(f), d);
}
int taille(sqlite3_file* f, sqlite3_int64* t) { return reel(f)->pMethods->xFileSize(reel(f), t); }
int verrouiller(sqlite3_file* f, int n) { return reel(f)->pMethods->xLock(reel(f), n); }
int deverrouiller(sqlite3_file* f, int n) { return reel(f)->pMethods->xUnlock(reel(f), n); }
int verrouReserve(sqlite3_file* f, int* r) { return reel(f)->pMethods->xCheckReservedLock(reel(f), r); }
int controle(sqlite3_file* f, int op, void* a) { return reel(f)->pMethods->xFileControl(reel(f), op, a); }
int secteur(sqlite3_file* f) { return reel(f)->pMethods->xSectorSize(reel(f)); }
int proprietes(sqlite3_file* f) { return reel(f)->pMethods->xDeviceCharacteristics(reel(f)); }
// The log's index (<file>-shm), where a connection keeps it on the disk: mapping a region makes
// or grows the file, a write of the disk's own. The program's connections keep it in memory
// (moteursqlite.cpp), but a connection of another kind still meets the seam here. A full disk is
// SQLITE_FULL, as for the log itself; any other failure what the system's VFS says when it cannot
// grow the index.
int shmMap(sqlite3_file* f, int i, int t, int b, void volatile** p)
{
    if (reel(f)->pMethods->iVersion < 2)
        return SQLITE_IOERR;
    if (const int e = panne::verifier("etendre index base", nomDe(f))) {
        *p = nullptr;
        return echecEcriture(e, SQLITE_IOERR_SHMSIZE);
    }
    return reel(f)->pMethods->xShmMap(reel(f), i, t, b, p);
}
int shmLock(sqlite3_file* f, int o, int n, int d)
{
    return reel(f)->pMethods->iVersion >= 2 ? reel(f)->pMethods->xShmLock(reel(f), o, n, d) : SQLITE_IOERR;
}
void shmBarrier(sqlite3_file* f)
{
    if (reel(f)->pMethods->iVersion >= 2)
        reel(f)->pMethods->xShmBarrier(reel(f));
}
int shmUnmap(sqlite3_file* f, int d)
{
    return reel(f)->pMethods->iVersion >= 2 ? reel(f)->pMethods->xShmUnmap(reel(f), d) : SQLITE_OK;
}
int fetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p)
{
    if (reel(f)->pMethods->iVersion >= 3)
        return reel(f)->pMethods->xFetch(reel(f), o, n, p);
    *p = nullptr;
    return SQLITE_OK;
}
int unfetch(sqlite3_file* f, sqlite3_int64 o, void* p)
{
    return reel(f)->pMethods->iVersion >= 3 ? reel(f)->pMethods->xUnfetch(reel(f), o, p) : SQLITE_OK;
}

const sqlite3_io_methods methodes = {3,         fermer,        lire,     ecrire,   tronquer,  synchroniser,  taille,
                                     verrouiller, deverrouiller, verrouReserve, controle, secteur, proprietes,
                                     shmMap,    shmLock,       shmBarrier, shmUnmap, fetch,   unfetch};

int ouvrir(sqlite3_vfs*, sqlite3_filename nom, sqlite3_file* f, int drapeaux, int* sortie)
{
    Fichier* w = reinterpret_cast<Fichier*>(f);
    w->base.pMethods = nullptr;
    w->reel = reinterpret_cast<sqlite3_file*>(w + 1);
    w->nom = nom;
    if (drapeaux & (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) {
        if (const int e = panne::verifier("ouvrir base", nom ? nom : "")) {
            // As the system's VFS does when a file cannot be opened for writing: read only, when
            // the file exists and no creation was asked.
            errno = e;
            if (drapeaux & (SQLITE_OPEN_CREATE | SQLITE_OPEN_DELETEONCLOSE))
                return SQLITE_CANTOPEN;
            drapeaux = (drapeaux & ~SQLITE_OPEN_READWRITE) | SQLITE_OPEN_READONLY;
        }
    }
    const int rc = systeme->xOpen(systeme, nom, w->reel, drapeaux, sortie);
    if (w->reel->pMethods)
        w->base.pMethods = &methodes;
    return rc;
}

int supprimer(sqlite3_vfs*, const char* nom, int sync)
{
    if (const int e = panne::verifier("supprimer base", nom)) {
        errno = e;
        return SQLITE_IOERR_DELETE;
    }
    return systeme->xDelete(systeme, nom, sync);
}
int acces(sqlite3_vfs*, const char* n, int d, int* r) { return systeme->xAccess(systeme, n, d, r); }
int nomComplet(sqlite3_vfs*, const char* n, int t, char* s) { return systeme->xFullPathname(systeme, n, t, s); }
void* ouvrirBib(sqlite3_vfs*, const char* n) { return systeme->xDlOpen(systeme, n); }
void erreurBib(sqlite3_vfs*, int n, char* s) { systeme->xDlError(systeme, n, s); }
void (*symbole(sqlite3_vfs*, void* b, const char* s))(void) { return systeme->xDlSym(systeme, b, s); }
void fermerBib(sqlite3_vfs*, void* b) { systeme->xDlClose(systeme, b); }
int hasard(sqlite3_vfs*, int n, char* s) { return systeme->xRandomness(systeme, n, s); }
int dormir(sqlite3_vfs*, int u) { return systeme->xSleep(systeme, u); }
int heure(sqlite3_vfs*, double* t) { return systeme->xCurrentTime(systeme, t); }
int derniereErreur(sqlite3_vfs*, int n, char* s) { return systeme->xGetLastError(systeme, n, s); }
int heure64(sqlite3_vfs*, sqlite3_int64* t) { return systeme->xCurrentTimeInt64(systeme, t); }
int definirAppel(sqlite3_vfs*, const char* n, sqlite3_syscall_ptr p) { return systeme->xSetSystemCall(systeme, n, p); }
sqlite3_syscall_ptr appelSysteme(sqlite3_vfs*, const char* n) { return systeme->xGetSystemCall(systeme, n); }
const char* appelSuivant(sqlite3_vfs*, const char* n) { return systeme->xNextSystemCall(systeme, n); }

sqlite3_vfs vfs{};

}  // namespace

void inscrireVfs()
{
    static std::once_flag fait;
    std::call_once(fait, [] {
        systeme = sqlite3_vfs_find("unix");
        if (!systeme || systeme->iVersion < 3)
            return;   // no system VFS to wrap: the engine's own stays the default
        vfs.iVersion = 3;
        vfs.szOsFile = static_cast<int>(sizeof(Fichier)) + systeme->szOsFile;
        vfs.mxPathname = systeme->mxPathname;
        vfs.zName = "kalmorin";
        vfs.xOpen = ouvrir;
        vfs.xDelete = supprimer;
        vfs.xAccess = acces;
        vfs.xFullPathname = nomComplet;
        vfs.xDlOpen = ouvrirBib;
        vfs.xDlError = erreurBib;
        vfs.xDlSym = symbole;
        vfs.xDlClose = fermerBib;
        vfs.xRandomness = hasard;
        vfs.xSleep = dormir;
        vfs.xCurrentTime = heure;
        vfs.xGetLastError = derniereErreur;
        vfs.xCurrentTimeInt64 = heure64;
        vfs.xSetSystemCall = definirAppel;
        vfs.xGetSystemCall = appelSysteme;
        vfs.xNextSystemCall = appelSuivant;
        sqlite3_vfs_register(&vfs, 1);
    });
}

}  // namespace kal::bd::interne
