#pragma once

class DovecotFixture;

#include <QByteArray>
#include <QList>
#include <QString>

// A handful of varied messages: plain, encoded words, a folded subject,
// different zones and a missing date.
QList<QByteArray> sampleMessages();
QByteArray lateArrival();

// Writes HOME's data folder: the template settings with a check on open and
// two accounts on the demo server at 127.0.0.1:port.
bool writeDemoHome(const QString& home, quint16 port, bool checkOnOpen = true);

// Users "home" and "office" with the sample mail in "home"; before start().
void prepareDemoServer(DovecotFixture& dovecot);
