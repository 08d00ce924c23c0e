#include "modPublic.h"

std::string sZipPassword;
