/* The public header must compile as C: another office program may be written in it. */
#include "lattix.h"

typedef BSTR(LATTIX_CALL* EncodeOneFile)(const char* path);
typedef BSTR(LATTIX_CALL* EncodeThreeParts)(const char* text, const char* image, const char* other);
typedef int(LATTIX_CALL* NameSettings)(const char* name);

EncodeOneFile lattixHeaderCheckOne = Lattix;
EncodeThreeParts lattixHeaderCheckThree = MakePdf417;
NameSettings lattixHeaderCheckSettings = SetConFile;
