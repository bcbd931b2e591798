// The path name functions and file type classes live in platform/ so that the
// document layer shares them; editing code keeps including them from here.
#ifndef QV3_EDITING_PATH_NAMES_H_
#define QV3_EDITING_PATH_NAMES_H_

#include "platform/path_names.h"

#endif  // QV3_EDITING_PATH_NAMES_H_
