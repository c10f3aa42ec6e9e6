#pragma once

/** korvalin-cli's exit statuses, as its help and manual page state them. */
inline constexpr int kDone = 0;
/** A file could not be read, analysed or written. */
inline constexpr int kFileError = 1;
/** The command line cannot be used as given. */
inline constexpr int kUsageError = 2;
/** A limit was exceeded or unresolved, or a comparison found a difference beyond tolerance. */
inline constexpr int kLimitExceeded = 3;
/** A job stopped by a signal ends with 128 + its number, as if the signal had ended it. */
inline constexpr int kStoppedBase = 128;
