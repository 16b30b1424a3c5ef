#include "scene/scene_reader.h"

bool SceneReader::open(const char*) { failed_ = true; return false; }
void SceneReader::openMemory(const void*, size_t) {}
void SceneReader::close() {}
bool SceneReader::readItems(void*, size_t, size_t) { return false; }
bool SceneReader::readString(char* buffer, size_t) { buffer[0] = 0; return false; }
int32_t SceneReader::readCount(size_t) { return 0; }
void SceneReader::stepBack(size_t) {}
int32_t SceneReader::checkCount(int32_t, size_t) { return 0; }
