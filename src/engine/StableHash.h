#pragma once

#include <QStringView>
#include <QtGlobal>

// Names of cached files derived from an address. qHash is seeded anew in every process, so a
// name made with it would not be found again after a restart; FNV-1a over the UTF-8 bytes gives
// the same 64-bit value in every run and on every machine.
namespace StableHash {

quint64 of(QStringView text);

} // namespace StableHash
