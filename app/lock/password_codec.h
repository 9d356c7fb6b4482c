// The lock password as the settings file keeps it: Base64 of its bytes, read back by a decoder
// that forgives what the file may hold (a character with its top bit set counts as without it,
// "=" and anything outside the alphabet as 0) and never reads past the text. Compared in time
// that does not depend on where the texts differ; wiped once no longer needed.
#pragma once

#include <QByteArray>
#include <QString>

namespace ovistra {

QByteArray EncodePassword(const QByteArray& bytes);

// The password's bytes up to the first zero byte the decoding gives.
QByteArray DecodePassword(const QByteArray& encoded);

// Exact, case-sensitive equality, taking as long for any two texts of the same lengths.
bool PasswordsMatch(const QByteArray& typed, const QByteArray& stored);

// Overwrites the text's memory before it is released.
void Wipe(QByteArray& bytes);
void Wipe(QString& text);

}  // namespace ovistra
