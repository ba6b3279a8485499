#pragma once

#include <QString>
#include <functional>

// Stored passwords are kept from being readable at a glance: a length
// prefix, random printable filler and a fixed permutation of four blocks.
// This is obfuscation, not encryption.

// Uniform random numbers in [0, 1) for the filler; tests inject their own.
using RandomUnit = std::function<double()>;

inline const QString BadLengthMarker = QStringLiteral("WhatThe");

QString scramblePassword(const QString& text, const RandomUnit& random = {});
QString unscramblePassword(const QString& scrambled);
QString scrambleSecret(const QString& text, const RandomUnit& random = {});
QString unscrambleSecret(const QString& scrambled);
