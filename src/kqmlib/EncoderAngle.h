#pragma once
// Mirror angle of one line encoder of a 2.x or 3.x record, from its fine
// count (LEFC), fine count offset (LEFCO), period count (LEPC), coarse count
// (LECC) and angle offset (LAO).

#include <cstdint>

#include "KQMReader.h"

// The header's part of the arithmetic, worked out again where the
// floating-point control (rounding, precision) is not the one it was worked
// out under, so that every angle is what working it out per record would give.
const TKQMAngleConstants& UpdateAngleConstants(const TKQMHeader& H, TKQMAngleConstants& K);

// The angle in radians, in float precision.
float EncoderAngle(const TKQMHeader& H, const TKQMAngleConstants& K, std::uint16_t LEFC, std::uint32_t LEFCO,
                   std::uint16_t LEPC, std::uint16_t LECC, std::uint32_t LAO);

// The position within the facet in coarse counts, as EncoderAngleExtended
// rounds it to float, worked out in doubles; false where they cannot promise
// the same bits (EncoderAngle then takes the extended way).
bool EncoderPosition(const TKQMHeader& H, float Period, std::uint16_t LEFC, std::uint32_t LEFCO, std::uint16_t LEPC,
                     std::uint16_t LECC, std::uint32_t LAO, float& Pos);

// float(Radians * Pos) as the extended-precision product rounds it, from
// Radians split into three doubles of 24, 24 and at most 18 bits; false
// where doubles cannot promise the same bits.
bool AngleOfPosition(const double (&Radians)[3], float Pos, float& Angle);

// The same, worked out step by step in extended precision: what
// EncoderAngle's quicker ways must give bit for bit.
float EncoderAngleExtended(const TKQMHeader& H, const TKQMAngleConstants& K, std::uint16_t LEFC, std::uint32_t LEFCO,
                           std::uint16_t LEPC, std::uint16_t LECC, std::uint32_t LAO);
