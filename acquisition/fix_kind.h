#pragma once

#include <string>

// How a receiver came by its fix, as far as the user must be told: a position that no
// satellite measured (a receiver's simulator, a position typed in, dead reckoning alone) is
// said so in the log, so that nobody takes it for where they are.
enum class FixKind
{
    Measured,      // from satellites, with or without corrections or sensor aid
    DeadReckoning, // carried on from the last fix by the receiver's sensors alone
    Manual,        // a fixed position typed or surveyed in
    Simulated,     // the receiver's simulator
};

// What the log adds behind the position; empty for a measured fix.
std::wstring FixKindText(FixKind kind);
