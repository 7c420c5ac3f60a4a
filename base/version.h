#pragma once
// The engine's name and version as the GUI, the banner and "--version" show them.

inline constexpr const char kEngineName[] = "Quorrel";
inline constexpr const char kEngineVersion[] = "1.4 beta5c";
inline constexpr const char kEngineAuthors[] = "the Quorrel developers";
