#pragma once

#include <QString>

// The scripted fallback for the desktop picture: a script that tells the desktop's scripting
// service to set the picture of every desktop and, through a shell command, the login-window
// picture. Pure text, so every escape can be checked on its own. The path is escaped for each
// language it passes through, so no file name can end its string early.
class DesktopPictureScript {
public:
    // For a string literal of the script: backslashes doubled, then double quotes escaped.
    static QString scriptEscaped(const QString& text);
    // For a single-quoted shell word: every ' becomes '\''.
    static QString shellEscaped(const QString& text);

    // The whole script, lines joined by line feeds, no line feed after the last.
    static QString build(const QString& imagePath);
};
