#pragma once

// The status-bar hint of both screens when the link finds that the adapter seems to echo (a read
// request came back as its own copy with local echo off): where to switch local echo on.

class QLabel;
class QMainWindow;
class SerialLink;

// Adds the hint label "EchoHint" to `window`; it stays hidden (and the window without a status bar it
// did not have) until `link` suspects an echo. The label belongs to the window.
QLabel* AddEchoHint(QMainWindow* window, SerialLink* link, int languageIndex);
