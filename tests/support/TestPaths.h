#pragma once

#include <QString>

// Where the tests find the checkout's files and the build's drawn media. The absolute paths live
// in one compile alone (TestPaths.cpp): a path in a definition every test file sees would be part
// of every compile's key, and a fresh clone elsewhere would find nothing in the compiler cache.
namespace TestPaths {
// A file of the checkout, by its path relative to the top: "scripts/setup".
QString sourceFile(const QString& relative);
// A file of tests/data: "loop-320x180.mp4".
QString dataFile(const QString& name);
// The folder where this build keeps the sample catalogue's drawn media.
QString sampleMediaFolder();
} // namespace TestPaths
