// Icon images of the panels (XPM texts, 16 x 16, transparent background).
#pragma once

extern const char* const kIconAddPulse;
extern const char* const kIconAddSequence;
extern const char* const kIconCopy;
extern const char* const kIconDelete;
extern const char* const kIconUp;
extern const char* const kIconDown;
extern const char* const kIconClear;
extern const char* const kImagePulse;
extern const char* const kImageRoot;
extern const char* const kImageSequence;
extern const char* const kImagePluginPulse;
extern const char* const kImagePage;
extern const char* const kImagePlugin;
extern const char* const kImageList;
extern const char* const kIconAccept;
extern const char* const kIconLog;
extern const char* const kIconSettings;
