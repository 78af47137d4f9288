#include "tools/BeatMapper.h"

void BeatMapper::startWalk(Walk /*walk*/) {}
void BeatMapper::runWalk(DialogProgress* /*dialog*/, Walk /*walk*/) {}
bool BeatMapper::walkDirectory(const std::string& /*path*/, int& /*counter*/, DialogProgress* /*dialog*/,
                               Walk /*walk*/) {
    return false;
}
void BeatMapper::processFile(const std::string& /*path*/, Walk /*walk*/) {}
bool BeatMapper::convertFile(const std::string& /*path*/) { return false; }
