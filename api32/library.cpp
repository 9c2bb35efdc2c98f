// library.cpp - libapi32.so itself; its contents come whole from the core area archives.
#include "api32/version.hpp"
