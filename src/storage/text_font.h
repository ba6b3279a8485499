#pragma once

#include <QString>
#include <QStringList>

// What the font rule needs to know about the installed fonts; the window
// fills it from QFontDatabase.
struct FontFacts
{
    QStringList installedFamilies;
    QString systemDefaultFamily;

    bool isInstalled(const QString& family) const { return installedFamilies.contains(family); }
};

// The text font of the lists and text boxes.
struct TextFont
{
    QString name;
    float size = 8;
    bool bold = false;
};

// The text font a run starts with, both when the window opens and when the
// settings load. A stored font that is installed (exact name, trailing
// blanks ignored) keeps its name and bold, its size held within 2 to 12.
// Otherwise the first installed of "MS Sans Serif", "Arial", "Verdana", else
// the system's interface font, else the first installed family, at 8 points
// and not bold. With no installed fonts known there is nothing to fall back
// on, so the stored font is only size-checked.
TextFont chooseTextFont(TextFont stored, const FontFacts& fonts);
