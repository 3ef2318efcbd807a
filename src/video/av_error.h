// FFmpeg's reason for an error code, for messages.
#pragma once

#include <string>

std::string avErrorText(int code);
