// The program's character-string exception: loaders and parsers of outside
// data throw it with the message a user action shows ("Cannot open file
// x.wav.", "Not a valid PNG file."); catch sites show or log what().
#ifndef VELKARN_FRAMEWORK_STRINGEXCEPTION_H
#define VELKARN_FRAMEWORK_STRINGEXCEPTION_H

#include <exception>
#include <string>

class StringException : public std::exception {
public:
    explicit StringException(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

#endif
