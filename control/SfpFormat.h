#pragma once
// How one SFP port's record reads in the SFP table.
#include <QString>

#include <cstdint>

// The identifier as the catalogue keys it: four lower-case hexadecimal digits.
QString sfpIdText(uint16_t id);

// The four version bytes from the most significant down, each as the character
// of its code, joined by "."; a byte that is no printable character (0, a
// control code, a blank) shows as its decimal number.
QString sfpVersionText(uint32_t version);
