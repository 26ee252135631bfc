// The screens the command line asks for besides the game, one entry each:
// SCREEN(option, operands it takes at most, whether it takes the terminal,
// synopsis, usage, open, main). `open` takes the operands given and
// readies the screen before the terminal is touched, false with one line
// saying what is wrong (a file's name first, as given); `main` shows it
// and returns the exit status. A screen that does not take the terminal
// leaves it as it is and needs none.
// Included where the list is needed, with SCREEN defined for the need.
SCREEN("--replay", 1, true, "--replay [文件]",
       "  --replay [文件]  一步一步回放数据记录（默认为 data.txt）：\n"
       "                   空格 播放/暂停，← → 上一步/下一步，↑ ↓ 加快/减慢，\n"
       "                   Home/End 第一步/最后一步，q 或 Esc 退出\n",
       hf_open, hf_main)
SCREEN("--cast", 2, false, "--cast [文件 [录像]] [--rate N]",
       "  --cast [文件 [录像]]\n"
       "                   把数据记录（默认为 data.txt）录成 asciicast v2 录像，\n"
       "                   不需要终端：录像默认为文件名把 .txt 换成 .cast，\n"
       "                   - 为标准输出\n"
       "  --rate N         录像每秒播放 N 步：1、2、3、5、10（默认）、15、20、30、60\n",
       lz_open, lz_main)
