#pragma once
// Error numbers the controls raise (as Erreur).
namespace kal::ctl {
constexpr int PeripheriqueIndisponible = 68;   // a drive or folder that cannot be read: "not ready"
constexpr int ValeurInvalide = 380;            // a property value the control refuses
}  // namespace kal::ctl
