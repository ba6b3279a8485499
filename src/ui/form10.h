#pragma once

#include <QMainWindow>

// The main window, captioned "Quorvamel email".
class Form10 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form10(QWidget* parent = nullptr);
};
