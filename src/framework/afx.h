// Everything of the framework layer in one include.
#pragma once

#include "framework/CString.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/WinApp.h"
