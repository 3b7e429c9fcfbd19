#pragma once

// File and key names of the configuration files. Keys are case-sensitive; note the
// irregular capitals of "Savehtml" beside "SaveExcel", which older files depend on.
namespace ConfigKeys {

inline constexpr char ProgramFile[] = "prog.cfg";
inline constexpr char CalibrationFile[] = "settings.cfg";

inline constexpr char Port[] = "Port";
inline constexpr char Savehtml[] = "Savehtml";
inline constexpr char SaveExcel[] = "SaveExcel";
inline constexpr char LogDelay[] = "LogDelay";
inline constexpr char LogOn[] = "LogOn";
inline constexpr char DisplayRPM[] = "DisplayRPM";
inline constexpr char DisplayWS[] = "DisplayWS";
inline constexpr char WSUnits[] = "WSUnits";

inline constexpr char VoltDivider[] = "VoltDivider";
inline constexpr char VoltOffset[] = "VoltOffset";
inline constexpr char AmpDivider[] = "AmpDivider";
inline constexpr char RPMDivider[] = "RPMDivider";
inline constexpr char WSDivider[] = "WSDivider";

// turbine.cfg: written by the owner, only ever read.
inline constexpr char TurbineFile[] = "turbine.cfg";
inline constexpr char RotorDiameter[] = "RotorDiameter";
inline constexpr char AirDensity[] = "AirDensity";
inline constexpr char MakerCurve[] = "MakerCurve";

} // namespace ConfigKeys
