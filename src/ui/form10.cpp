#include "ui/form10.h"

Form10::Form10(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("Quorvamel email"));
}
