// Numeric identifiers of the program's resources, commands and controls.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VIEWER 102
#define IDR_MAINFRAME 128

#define IDC_FOLDER 1000
#define IDC_RELOAD 1001
#define IDC_ROW_FRAME 1002
#define IDC_STAGE_FRAME 1003
#define IDC_CONTINUOUSLY 1004
#define IDC_LOOP_FRAMES 1006
#define IDC_THROW_IN_ARC 1007
#define IDC_PREV_ROW 1008
#define IDC_NEXT_ROW 1009
#define IDC_ROW_LABEL 1010
#define IDC_CLOSEUP_FRAME 1011
#define IDC_FAST_THROW 1012
#define IDC_SMEAR 1013
#define IDC_FPS_X2 1014
#define IDC_ROW 1015
#define IDC_ATTACK_MODE 1016
#define IDC_EFFECTS_MODE 1017
#define IDC_INFO 1018
