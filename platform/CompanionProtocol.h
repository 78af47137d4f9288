// How the program and its companion talk: command lines and exit codes.
//
//   velkarn-companion box <ok|yesno> <none|exclamation|error> <caption> <text>
//       exits with the answer: 1 OK, 6 Yes, 7 No.
//   velkarn-companion crash <caption> <question> <okText> <address> <subject>
//                           <body> <report> <log>
//       asks whether to mail the report (and the log when it exists) to the
//       address; without a mail client it shows okText instead.
#ifndef VELKARN_PLATFORM_COMPANIONPROTOCOL_H
#define VELKARN_PLATFORM_COMPANIONPROTOCOL_H

namespace platform::companion {

// Both modes.
constexpr int cannotShow = 64;   // no display could be opened
constexpr int nobodyAnswers = 65;  // headless screen and no scripted answer
constexpr int badArguments = 66;

// Crash mode.
constexpr int crashDeclined = 0;
constexpr int crashMailSent = 1;
constexpr int crashMailFailed = 2;
constexpr int crashNoMailClient = 3;

}  // namespace platform::companion

#endif
