#pragma once

#include <QByteArray>
#include <QList>

// A handful of varied messages: plain, encoded words, a folded subject,
// different zones and a missing date.
QList<QByteArray> sampleMessages();
QByteArray lateArrival();
