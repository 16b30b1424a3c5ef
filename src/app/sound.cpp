#include "app/sound.h"

// Until the audio device layer exists, start-up reports failure so the show runs on
// the tick clock.
bool SoundSetOutput() { return false; }
bool SoundInit(int, int) { return false; }
SoundStream* SoundStreamOpen(const char*) { return nullptr; }
bool SoundStreamPlay(SoundStream*) { return false; }
int SoundStreamGetTime(SoundStream*) { return 0; }
bool SoundStreamSetPosition(SoundStream*, int) { return false; }
void SoundClose() {}
