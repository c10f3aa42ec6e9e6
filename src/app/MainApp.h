#pragma once

/** Runs Korvalin: the main window until it closes, then settings and wisdom are stored. */
int runKorvalin(int argc, char** argv);
