// The device's programming block (364 bytes, 365 with the global-correction byte for firmware 2.0
// and later): the request for it, reading the device's reply into the device copy, and building
// the block (and the send frame around it) from the sheet.
#pragma once

#include "programming/SheetValues.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace nbx {

inline constexpr int kBlockSize = 364;          // without the CMI byte
inline constexpr int kBlockSizeCmi = 365;       // with it
inline constexpr int kReplyLength = 370;        // reply LEN without CMI
inline constexpr int kReplyLengthCmi = 371;     // with CMI
inline constexpr int kReplyBlockOffset = 4;     // block byte k is reply offset k + 4
inline constexpr int kSendBlockOffset = 10;     // after the six-byte clock in the send frame
inline constexpr quint8 kCommandProgramRequest = 0x04;
inline constexpr quint8 kCommandProgramSend = 0x08;

// DemanaProgramacio: the six bytes of the programming request, 02 00 06 04 03 03.
QByteArray demanaProgramacioFrame();

enum class ReplyStatus {
    Ok,
    TooShort, // LEN (or the bytes present) below 370: a failed reception
};

struct ReplyOutcome {
    ReplyStatus status = ReplyStatus::TooShort;
    // Firmware 2.0 or later: the CMI byte was taken (0 when the reply is only 370 bytes long) and
    // the window shows CheckApliCorrecioGlobal and Picture2. Otherwise both are left alone.
    bool cmiPresent = false;
};

// Reads a whole reply frame (offset 0 = STX, as the frame receiver hands it over, check byte
// already verified) into `copy`. `versionEqp` is the firmware text the identification reported.
// A reply shorter than 370 bytes leaves `copy` untouched. Shows nothing.
ReplyOutcome parseProgrammingReply(const QByteArray& frame, const QString& versionEqp, DeviceCopy& copy);

// RecibirProgramacion on a frame already received: parses it, and on a reply that is too short
// shows GetS(62) with the critical icon. Returns ok; `cmiPresent` as above.
bool RecibirProgramacion(const QByteArray& frame, const QString& versionEqp, DeviceCopy& copy,
                         bool* cmiPresent = nullptr);

// Builds the block bytes from the sheet (its own inhibited intervals), 365 bytes when the sheet's
// version is 2.0 or more, else 364. A field that cannot be converted (empty, not a number, out of
// the byte or 16-bit range, a used interval with an invalid end date or time) fails with a
// description naming the field, and nothing is built.
bool buildProgrammingBlock(const SheetValues& sheet, QByteArray* block, QString* error,
                           const QLocale& locale = QLocale::system());

// The whole send frame (command 0x08): STX, LEN (376 or 377), command, the PC clock (day, month,
// year - 1900, hour, minute, second), the block, ETX and the XOR of every byte before it.
bool buildTramaProgramacion(const SheetValues& sheet, const QDateTime& now, QByteArray* frame,
                            QString* error, const QLocale& locale = QLocale::system());

// XOR of every byte of `bytes`.
quint8 xorOf(const QByteArray& bytes);

} // namespace nbx
