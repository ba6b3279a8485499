#pragma once

// Small builders for the window's controls: each control gets its object
// name and its design rectangle in twips, relative to its container.

#include "ui/twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

// A picture box: a plain container whose background follows the page colour.
inline constexpr char PictureBoxProperty[] = "quorvamelPictureBox";

template <class Widget> Widget* makeControl(QWidget* parent, const QString& name, TwipsRect rect)
{
    auto* widget = new Widget(parent);
    widget->setObjectName(name);
    widget->setGeometry(twipsRect(rect.left, rect.top, rect.width, rect.height));
    return widget;
}

inline QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, TwipsRect rect)
{
    auto* label = makeControl<QLabel>(parent, name, rect);
    label->setText(text);
    return label;
}

inline QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text,
                               TwipsRect rect)
{
    auto* button = makeControl<QPushButton>(parent, name, rect);
    button->setText(text);
    button->setAutoDefault(false);
    return button;
}

inline QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& text,
                               TwipsRect rect)
{
    auto* box = makeControl<QCheckBox>(parent, name, rect);
    box->setText(text);
    return box;
}

inline QFrame* makePictureBox(QWidget* parent, const QString& name, TwipsRect rect)
{
    auto* box = makeControl<QFrame>(parent, name, rect);
    box->setProperty(PictureBoxProperty, true);
    return box;
}
