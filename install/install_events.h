// The installation events: the codes every component of an installation reports through
// one InstallCallback, and that callback's signature.
//
// Codes 1001-1006 belong to the downloaders (download/); the installation (2001-2004,
// 3000-3009) and removal (5001-5005) codes are raised by the runners of this folder.
// The orchestrator forwards every event unchanged to its owner before reacting to it.
#pragma once

#include <cstdint>

// InstallCallback (code, value, text; the text valid only during the call) and the download
// codes DL_CODE_*.
#include "download/install_callback.h"

enum : int32_t {
    IST_CODE_START = 2001,         ///< package run begins; 0.0
    IST_CODE_PROGRESS = 2002,      ///< installation fraction as the package reports it
    IST_CODE_SUCCESS = 2003,       ///< 0.0 reported by the package, 1.0 ended without a state
    IST_CODE_FAIL = 2004,          ///< 0.0 "Fail", 1000.0 "Error=" line, 2.0 not started
    IST_CODE_INSTPATH = 3000,      ///< installed folder
    IST_CODE_EXEPATH = 3001,       ///< program to start
    IST_CODE_UNINSTEXE = 3002,     ///< the product's uninstaller
    IST_CODE_UNINSTEP = 3003,      ///< uninstaller entry file for the registry
    IST_CODE_STARTURL = 3004,      ///< web page to open
    IST_CODE_STARTUPSTYLE = 3005,  ///< 0 none, 1 automatic, 2 on the user's request
    IST_CODE_TOPSHOW = 3007,       ///< delay in ms before the finished window comes to front
    IST_CODE_FINISHCLOSE = 3008,   ///< delay in ms before the finished window closes
    IST_CODE_MESSAGE = 3009,       ///< message for the user
    UNIST_CODE_START = 5001,       ///< defined, never raised
    UNIST_CODE_PROGRESS = 5002,    ///< removal fraction as reported (0.0 at the start)
    UNIST_CODE_SUCCESS = 5003,     ///< 0.0 reported, 1.0 ended without a state
    UNIST_CODE_FAIL = 5004,        ///< 1.0 uninstaller file missing, 2.0 not started
    UNIST_CODE_ERROR = 5005,       ///< the uninstaller's error text or "安装包卸载失败"
};

/// The name of an installation or removal code as trace lines spell it ("IST_CODE_FAIL"),
/// or an empty text for any other code.
const wchar_t* InstallEventName(int32_t code);
