// The screens the command line asks for besides the game, one line each:
// SCREEN(option, operands it takes at most, synopsis, usage, open, main).
// `open` takes the operands given and readies the screen before the
// terminal is touched, false with one line saying what is wrong (a file's
// name first, as given); `main` shows it and returns the exit status.
// Included where the list is needed, with SCREEN defined for the need.
SCREEN("--replay", 1, "--replay [文件]",
       "  --replay [文件]  一步一步回放数据记录（默认为 data.txt）：\n"
       "                   空格 播放/暂停，← → 上一步/下一步，↑ ↓ 加快/减慢，\n"
       "                   Home/End 第一步/最后一步，q 或 Esc 退出\n",
       hf_open, hf_main)
