<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ArrivalSpeech</name>
    <message numerus="yes">
        <source>收到 %n 行</source>
        <translation>
            <numerusform>%n line came</numerusform>
            <numerusform>%n lines came</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Batch</name>
    <message>
        <source>“%1”中有不成对的括号</source>
        <translation>“%1” has an unpaired brace</translation>
    </message>
    <message>
        <source>不认识“{%1}”：可以用 {n}、{n:03} 和 {addr}</source>
        <translation>“{%1}” is not known: use {n}, {n:03} and {addr}</translation>
    </message>
    <message>
        <source>通过</source>
        <translation>Passed</translation>
    </message>
    <message>
        <source>未通过</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>未完成</source>
        <translation>Unfinished</translation>
    </message>
    <message>
        <source>未写入</source>
        <translation>Not written</translation>
    </message>
</context>
<context>
    <name>BatchBox</name>
    <message>
        <source>批量配置</source>
        <translation>Batch</translation>
    </message>
    <message>
        <source>下一个</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>配置：%1
记录：%2</source>
        <translation>Profile: %1
Record: %2</translation>
    </message>
    <message>
        <source>等待模块：插上下一个模块，或按“下一个”</source>
        <translation>Waiting for a module: plug in the next one, or press “Next”</translation>
    </message>
    <message>
        <source>下一个编号：%1 · 已配置 %2 个，通过 %3 个</source>
        <translation>Next number: %1 · %2 configured, %3 passed</translation>
    </message>
</context>
<context>
    <name>BatchRecord</name>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>设备</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>命令族</source>
        <translation>Command family</translation>
    </message>
    <message>
        <source>固件</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>%1（之前）</source>
        <translation>%1 (before)</translation>
    </message>
    <message>
        <source>%1（之后）</source>
        <translation>%1 (after)</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>不同之处</source>
        <translation>Differences</translation>
    </message>
    <message>
        <source>记录文件没有打开</source>
        <translation>the record is not open</translation>
    </message>
</context>
<context>
    <name>BatchRun</name>
    <message>
        <source>没有读到模块的全部设置</source>
        <translation>Not every setting of the module was read</translation>
    </message>
    <message>
        <source>该模块已在本批中配置过</source>
        <translation>This module was configured in this batch already</translation>
    </message>
    <message>
        <source>写入没有完成</source>
        <translation>The writing did not complete</translation>
    </message>
    <message>
        <source>不能填入面板</source>
        <translation>does not fit the panel</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>写入之后没有读回全部设置</source>
        <translation>Not every setting was read back after writing</translation>
    </message>
    <message>
        <source>%1未保留</source>
        <translation>%1 not kept</translation>
    </message>
    <message>
        <source>记录没有写入：%1</source>
        <translation>The record was not written: %1</translation>
    </message>
    <message>
        <source>写入中途停止</source>
        <translation>Stopped while writing</translation>
    </message>
    <message>
        <source>读回之前停止</source>
        <translation>Stopped before reading back</translation>
    </message>
</context>
<context>
    <name>CommandBox</name>
    <message>
        <source>发送命令</source>
        <translation>Send command</translation>
    </message>
    <message>
        <source>上一条命令</source>
        <translation>Previous command</translation>
    </message>
    <message>
        <source>下一条命令</source>
        <translation>Next command</translation>
    </message>
    <message>
        <source>行尾：%1</source>
        <translation>Line ending: %1</translation>
    </message>
</context>
<context>
    <name>CommandEngine</name>
    <message>
        <source>端口打开错误，请搜索端口后重试！</source>
        <translation>Cannot use the port. Search for the port, then try again.</translation>
    </message>
    <message>
        <source>%1的值含有换行或 NUL，更新已在写入它之前停止！</source>
        <translation>The value of %1 holds a line break or NUL: the update stopped before writing it.</translation>
    </message>
    <message>
        <source>还没有打开端口，请先点击搜索端口。</source>
        <translation>No port is open yet. Click Search port first.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>%1: cannot open its window: %2. It needs a graphical session: start it on the desktop, or over SSH with X forwarding (ssh -X).</source>
        <translation>%1: cannot open its window: %2. It needs a graphical session: start it on the desktop, or over SSH with X forwarding (ssh -X).</translation>
    </message>
    <message>
        <source>the display could not be reached</source>
        <translation>the display could not be reached</translation>
    </message>
    <message>
        <source>Print this help and exit.</source>
        <translation>Print this help and exit.</translation>
    </message>
    <message>
        <source>Print the version and exit.</source>
        <translation>Print the version and exit.</translation>
    </message>
    <message>
        <source>Speak LANGUAGE in the window: zh (Chinese) or en (English).
Without it, TARVENIT_LANG chooses, else the system&apos;s language.</source>
        <translation>Speak LANGUAGE in the window: zh (Chinese) or en (English).
Without it, TARVENIT_LANG chooses, else the system&apos;s language.</translation>
    </message>
    <message>
        <source>Bench tool for serial Bluetooth modules that speak AT commands.
Without options it opens its window: find the module&apos;s serial port, read and
write its settings, send commands by hand and watch the traffic. The window
speaks Chinese or English.</source>
        <translation>Bench tool for serial Bluetooth modules that speak AT commands.
Without options it opens its window: find the module&apos;s serial port, read and
write its settings, send commands by hand and watch the traffic. The window
speaks Chinese or English.</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>Unknown option &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unexpected argument &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Unknown language &apos;%1&apos; (choose %2).</source>
        <translation>Unknown language &apos;%1&apos; (choose %2).</translation>
    </message>
    <message>
        <source>
Qt&apos;s own options, such as -platform NAME, -display DISPLAY and -style STYLE,
are passed on to Qt. The ports and TARVENIT_PORTS are described in tarvenit(1).
</source>
        <translation>
Qt&apos;s own options, such as -platform NAME, -display DISPLAY and -style STYLE,
are passed on to Qt. The ports and TARVENIT_PORTS are described in tarvenit(1).
</translation>
    </message>
    <message>
        <source>no display (DISPLAY is not set)</source>
        <translation>no display (DISPLAY is not set)</translation>
    </message>
</context>
<context>
    <name>ConsoleLog</name>
    <message>
        <source>文件已被删除或移走</source>
        <translation>The file was removed or moved</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
</context>
<context>
    <name>ConsoleView</name>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>全选(&amp;A)</source>
        <translation>Select &amp;All</translation>
    </message>
    <message>
        <source>保存为文件…</source>
        <translation>Save to File…</translation>
    </message>
    <message>
        <source>显示时间</source>
        <translation>Show Times</translation>
    </message>
    <message>
        <source>暂停滚动</source>
        <translation>Pause Scrolling</translation>
    </message>
    <message>
        <source>保存为文件</source>
        <translation>Save to File</translation>
    </message>
    <message>
        <source>文本文件 (*.txt);;所有文件 (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>正在保存…</source>
        <translation>Saving…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>已暂停滚动，新到 %1 行</source>
        <translation>Scrolling paused; new lines: %1</translation>
    </message>
    <message>
        <source>查找…</source>
        <translation>Find…</translation>
    </message>
    <message>
        <source>记录到文件…</source>
        <translation>Log to File…</translation>
    </message>
    <message>
        <source>十六进制显示</source>
        <translation>Show Hex</translation>
    </message>
    <message>
        <source>记录到文件</source>
        <translation>Log to File</translation>
    </message>
    <message>
        <source>记录文件 (*.log);;所有文件 (*)</source>
        <translation>Log files (*.log);;All files (*)</translation>
    </message>
    <message>
        <source>正在记录到 %1</source>
        <translation>Logging to %1</translation>
    </message>
    <message>
        <source>● 记录中</source>
        <translation>● Logging</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>原始大小</source>
        <translation>Actual Size</translation>
    </message>
    <message>
        <source>缩放：%1%</source>
        <translation>Zoom: %1%</translation>
    </message>
    <message>
        <source>记录方向和端口变化</source>
        <translation>Record direction and port changes</translation>
    </message>
    <message>
        <source>— 端口 %1 已打开 (%2) %3 —</source>
        <translation>— Port %1 opened (%2) %3 —</translation>
    </message>
</context>
<context>
    <name>Families</name>
    <message>
        <source>以停顿结束命令的一类</source>
        <translation>the kind that ends a command by a pause</translation>
    </message>
    <message>
        <source>以“OK+”回答的一类</source>
        <translation>the kind that answers with &quot;OK+&quot;</translation>
    </message>
    <message>
        <source>不能为空</source>
        <translation>must not be empty</translation>
    </message>
    <message>
        <source>最多 %1 个字符</source>
        <translation>at most %1 characters</translation>
    </message>
    <message>
        <source>只能是不带空格的英文字母、数字和符号</source>
        <translation>only Latin letters, digits and signs, without spaces</translation>
    </message>
    <message>
        <source>必须是 %1 位数字</source>
        <translation>must be %1 digits</translation>
    </message>
    <message>
        <source>只能是主角色或从角色</source>
        <translation>only master or slave</translation>
    </message>
    <message>
        <source>只能是 %1 之一</source>
        <translation>only one of %1</translation>
    </message>
</context>
<context>
    <name>FamilySequence</name>
    <message>
        <source>适配器不能设为 %1 波特，写入后就无法再与模块通信</source>
        <translation>the adapter cannot be set to %1 baud: once written, the module could no longer be reached</translation>
    </message>
    <message>
        <source>以下设置模块不能接受，改正之后才能写入：</source>
        <translation>The module cannot take these settings; correct them before writing:</translation>
    </message>
    <message>
        <source>没有要写入的设置：面板中填写的值与模块的回答相同，或者没有填写。</source>
        <translation>Nothing to write: the values in the panel are those the module answered, or none were filled in.</translation>
    </message>
    <message>
        <source>%1写入 %2，模块回答“%3”</source>
        <translation>%1 wrote %2, the module answered “%3”</translation>
    </message>
    <message>
        <source>重新启动：模块回答“%1”</source>
        <translation>Restart: the module answered “%1”</translation>
    </message>
    <message>
        <source>模块没有回答“%1”。</source>
        <translation>The module did not answer “%1”.</translation>
    </message>
    <message>
        <source>已读取%1的模块。</source>
        <translation>Read the module of %1.</translation>
    </message>
    <message>
        <source>%1（写入 %2，模块回答 %3）</source>
        <translation>%1 (wrote %2, the module answered %3)</translation>
    </message>
    <message>
        <source>已写入，并以 %1 波特重新读取了模块。</source>
        <translation>Written, and the module read again at %1 baud.</translation>
    </message>
    <message>
        <source>重新读取时模块没有保留：</source>
        <translation>Read again, the module had not kept:</translation>
    </message>
    <message>
        <source>模块没有接受以下设置：</source>
        <translation>The module did not take these settings:</translation>
    </message>
    <message>
        <source>已写入。名称、角色和波特率在模块重新启动之后才生效。</source>
        <translation>Written. The name, role and rate take effect only once the module restarts.</translation>
    </message>
    <message>
        <source>重新启动时发送“%1”；之后本工具以新的波特率重新读取模块。</source>
        <translation>The restart sends “%1”; the tool then reads the module again at its new rate.</translation>
    </message>
    <message>
        <source>重新启动模块</source>
        <translation>Restart the module</translation>
    </message>
    <message>
        <source>已写入。</source>
        <translation>Written.</translation>
    </message>
</context>
<context>
    <name>FindBar</name>
    <message>
        <source>查找：</source>
        <translation>Find:</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>未找到</source>
        <translation>Not found</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>搜索端口</source>
        <translation>Search port</translation>
    </message>
    <message>
        <source>波特率：</source>
        <translation>Baud:</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>获取模块信息</source>
        <translation>Read all</translation>
    </message>
    <message>
        <source>更新模块信息</source>
        <translation>Write all</translation>
    </message>
    <message>
        <source>清除表格数据</source>
        <translation>Clear table</translation>
    </message>
    <message>
        <source>通讯记录</source>
        <translation>Traffic log</translation>
    </message>
    <message>
        <source>清 空 显 示</source>
        <translation>Clear display</translation>
    </message>
    <message>
        <source>命令输入</source>
        <translation>Command to send</translation>
    </message>
    <message>
        <source>发 送 命 令</source>
        <translation>Send command</translation>
    </message>
    <message>
        <source>当前行号： %1</source>
        <translation>Line: %1</translation>
    </message>
    <message>
        <source>当前位置： %1</source>
        <translation>Line offset: %1</translation>
    </message>
    <message>
        <source>总的行数： %1</source>
        <translation>Lines: %1</translation>
    </message>
    <message>
        <source>记录到文件失败，记录已停止！</source>
        <translation>The log has stopped: a write to its file failed.</translation>
    </message>
    <message>
        <source>菜单</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>通讯记录(&amp;R)</source>
        <translation>T&amp;raffic</translation>
    </message>
    <message>
        <source>命令(&amp;C)</source>
        <translation>&amp;Command</translation>
    </message>
    <message>
        <source>模块设置(&amp;S)</source>
        <translation>Module &amp;settings</translation>
    </message>
    <message>
        <source>来自端口 %1 的模块</source>
        <translation>Module on port %1</translation>
    </message>
    <message>
        <source>端口(&amp;P)</source>
        <translation>&amp;Port</translation>
    </message>
    <message>
        <source>发现 1 个端口：%1，点击搜索端口打开</source>
        <translation>Found 1 port: %1. Click Search port to open it.</translation>
    </message>
    <message>
        <source>没有找到串口</source>
        <translation>No serial ports found</translation>
    </message>
    <message>
        <source>发现 %1</source>
        <translation>Found %1</translation>
    </message>
    <message>
        <source>端口：未打开</source>
        <translation>Port: not open</translation>
    </message>
    <message>
        <source>要发送这条命令吗？</source>
        <translation>Send this command?</translation>
    </message>
    <message>
        <source>%1没有这项设置</source>
        <translation>%1 has no such setting</translation>
    </message>
    <message>
        <source>只能写入，不能读取</source>
        <translation>Can be written, not read</translation>
    </message>
    <message>
        <source>可以读写：%1</source>
        <translation>Read and written: %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>只能写入：%1</source>
        <translation>Written only: %1</translation>
    </message>
    <message>
        <source>。</source>
        <translation>. </translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>批量配置…</source>
        <translation>Batch…</translation>
    </message>
    <message>
        <source>停止批量配置</source>
        <translation>Stop the batch</translation>
    </message>
    <message>
        <source>经典命令集</source>
        <translation>Classic command set</translation>
    </message>
    <message>
        <source>该模块已在本批中配置过：%1</source>
        <translation>This module was configured in this batch already: %1</translation>
    </message>
    <message>
        <source>要再写入一次吗？</source>
        <translation>Write it again?</translation>
    </message>
    <message>
        <source>端口没有打开：插上模块，或点击搜索端口</source>
        <translation>No port is open: plug in the module, or click Search port</translation>
    </message>
    <message>
        <source>正在读取、写入并读回模块……</source>
        <translation>Reading, writing and reading back the module…</translation>
    </message>
    <message>
        <source>无法载入批量配置文件 %1</source>
        <translation>Cannot load the batch profile %1</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>无法打开批量配置的记录文件！</source>
        <translation>Cannot open the batch record!</translation>
    </message>
    <message>
        <source>批量配置：写入哪个配置文件</source>
        <translation>Batch: which settings file to write</translation>
    </message>
    <message>
        <source>配置文件 (*.ini);;所有文件 (*)</source>
        <translation>Settings files (*.ini);;All files (*)</translation>
    </message>
    <message>
        <source>批量配置：记录到哪个文件</source>
        <translation>Batch: which file to record to</translation>
    </message>
    <message>
        <source>记录 (*.csv);;所有文件 (*)</source>
        <translation>Records (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>批量配置</source>
        <translation>Batch</translation>
    </message>
    <message>
        <source>{n} 从几开始：</source>
        <translation>{n} starts at:</translation>
    </message>
    <message>
        <source>序列(&amp;Q)</source>
        <translation>Se&amp;quences</translation>
    </message>
    <message>
        <source>序列正在运行：按 Esc 停止</source>
        <translation>A sequence runs: Escape stops it</translation>
    </message>
    <message>
        <source>文件夹中没有序列（*.txt）</source>
        <translation>No sequences (*.txt) in the folder</translation>
    </message>
    <message>
        <source>停止序列</source>
        <translation>Stop the sequence</translation>
    </message>
    <message>
        <source>把命令历史存为序列…</source>
        <translation>Save the command history as a sequence…</translation>
    </message>
    <message>
        <source>选择序列文件夹…</source>
        <translation>Choose the sequences folder…</translation>
    </message>
    <message>
        <source>序列文件夹</source>
        <translation>Sequences folder</translation>
    </message>
    <message>
        <source>无法读取序列文件 %1</source>
        <translation>Cannot read the sequence file %1</translation>
    </message>
    <message>
        <source>序列文件 %1 没有运行，什么也没有发送</source>
        <translation>The sequence file %1 did not run; nothing was sent</translation>
    </message>
    <message>
        <source>序列没有开始：模块正在读取或更新，或者另一个序列正在运行</source>
        <translation>The sequence did not start: the module is being read or written, or another sequence runs</translation>
    </message>
    <message>
        <source>把命令历史存为序列</source>
        <translation>Save the command history as a sequence</translation>
    </message>
    <message>
        <source>命令历史.txt</source>
        <translation>command history.txt</translation>
    </message>
    <message>
        <source>序列 (*.txt)</source>
        <translation>Sequences (*.txt)</translation>
    </message>
    <message>
        <source># 命令历史，最早的在前</source>
        <translation># command history, oldest first</translation>
    </message>
    <message>
        <source>随附的序列</source>
        <translation>Sequences that come with the tool</translation>
    </message>
    <message>
        <source>把随附的序列复制到文件夹</source>
        <translation>Copy them to the sequences folder</translation>
    </message>
    <message>
        <source>“%1”只用于经典命令集的模块</source>
        <translation>“%1” is only for modules of the classic command set</translation>
    </message>
    <message>
        <source>序列没有开始：另一个序列正在运行</source>
        <translation>The sequence did not start: another sequence runs</translation>
    </message>
    <message>
        <source>序列“%1”将依次发送：
%2</source>
        <translation>The sequence “%1” sends, in turn:
%2</translation>
    </message>
    <message>
        <source>要运行这个序列吗？</source>
        <translation>Run this sequence?</translation>
    </message>
    <message>
        <source>随附的序列已经在文件夹 %1 中</source>
        <translation>The sequences that come with the tool are in the folder %1 already</translation>
    </message>
    <message>
        <source>已复制到文件夹 %1：%2</source>
        <translation>Copied to the folder %1: %2</translation>
    </message>
</context>
<context>
    <name>GuardedCommands</name>
    <message>
        <source>模块将恢复出厂设置：从角色，PIN 1234，波特率 38400；此后以 38400 连接</source>
        <translation>The module goes back to its factory settings: slave, PIN 1234, 38400 baud; it is reached at 38400 from then on</translation>
    </message>
    <message>
        <source>模块将恢复出厂设置：从角色，密码 000000，波特率 9600；此后以 9600 连接</source>
        <translation>The module goes back to its factory settings: slave, PIN 000000, 9600 baud; it is reached at 9600 from then on</translation>
    </message>
    <message>
        <source>模块将清空配对列表：配对过的设备都要重新配对</source>
        <translation>The module empties its pairing list: every device paired before must pair again</translation>
    </message>
    <message>
        <source>模块将清除绑定的设备：配对过的设备都要重新配对</source>
        <translation>The module forgets its bonded devices: every device paired before must pair again</translation>
    </message>
    <message>
        <source>模块将重启；使用经典命令集的模块此后离开命令模式，要重新进入命令模式才能设置</source>
        <translation>The module restarts; a module of the classic command set then leaves command mode, and must be put in command mode again to be set</translation>
    </message>
    <message>
        <source>模块将以 %1 波特通信，而这个适配器不能设为 %1 波特：此后无法再与它通信</source>
        <translation>The module will talk at %1 baud, and this adapter cannot be set to %1 baud: it could no longer be reached</translation>
    </message>
    <message>
        <source>模块重新启动后将以 1200 波特通信，这一类模块在 1200 波特不再接受任何命令</source>
        <translation>After its restart the module will talk at 1200 baud, where modules of this family take no more commands</translation>
    </message>
</context>
<context>
    <name>LineEndWatch</name>
    <message>
        <source>命令发出 %1 秒后，模块没有任何回应。这条命令的末尾没有行尾（CR 或 LF），而模块要收到命令的行尾才会回答。</source>
        <translation>%1 s after the command, the module has not answered at all. The command went out without a line end (CR or LF), and the module answers a command only once its line end has arrived.</translation>
    </message>
    <message>
        <source>在命令框的右键菜单“%1”中选择每次发送时加上的行尾（这类模块多用 CR LF），或在命令后按 Enter 换行再发送。</source>
        <translation>Choose the line end that every send adds under &quot;%1&quot; in the command box&apos;s context menu (these modules mostly want CR LF), or press Enter after the command before sending it.</translation>
    </message>
</context>
<context>
    <name>MessageBoxConfirm</name>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
</context>
<context>
    <name>ModuleFinder</name>
    <message>
        <source>“%1”</source>
        <translation>&quot;%1&quot;</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1 “%2”</source>
        <comment>a rate and what is sent at it</comment>
        <translation>%1 &quot;%2&quot;</translation>
    </message>
    <message>
        <source>正在查找模块的波特率和命令（不到 %1 秒）……</source>
        <translation>Looking for the module&apos;s baud rate and command set (under %1 s)…</translation>
    </message>
    <message>
        <source>依次发送，每个最多等待 %1 秒；它们只问候模块或读取版本，不改变模块的任何设置：
%2</source>
        <translation>Sending these in turn, waiting up to %1 s after each; they only greet the module or read its version, and change none of its settings:
%2</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>正在以其他波特率和命令查找模块（不到 %1 秒）……</source>
        <translation>Looking for the module at other baud rates and with other command sets (under %1 s)…</translation>
    </message>
    <message>
        <source>尝试：%1 · %2</source>
        <translation>Trying: %1 · %2</translation>
    </message>
    <message>
        <source>端口保持以 %1 打开，波特率列表也已选中 %1。</source>
        <translation>The port stays open at %1 baud, and the baud rate list shows %1. </translation>
    </message>
    <message>
        <source>模块在 %1 波特率下对“%2”回答了“%3”：它使用另一套命令，%4。</source>
        <translation>At %1 baud the module answered &quot;%2&quot; with &quot;%3&quot;: it speaks another command set, %4.</translation>
    </message>
    <message>
        <source>面板现在按这一类的命令读取它。</source>
        <translation>The panel now reads it with that kind&apos;s commands.</translation>
    </message>
    <message>
        <source>模块在 %1 波特率下回答了“%2”。</source>
        <translation>The module answered &quot;%2&quot; at %1 baud.</translation>
    </message>
    <message>
        <source>读取接着进行。</source>
        <translation>The query goes on.</translation>
    </message>
    <message>
        <source>现在可以重新读取模块信息。</source>
        <translation>Get the module info again now.</translation>
    </message>
    <message>
        <source>在每一个波特率下，模块都没有回答“%1”；不带行结束符的%2也没有得到回应。</source>
        <translation>The module did not answer &quot;%1&quot; at any baud rate, nor did %2 without a line end get an answer.</translation>
    </message>
</context>
<context>
    <name>Outgoing</name>
    <message>
        <source>第 %1 个字符“%2”没有成对：每个字节要两位十六进制数字。命令没有发出。</source>
        <translation>Character %1, &quot;%2&quot;, has no partner: each byte takes two hex digits. Nothing was sent.</translation>
    </message>
    <message>
        <source>第 %1 个字符“%2”（%3）不是十六进制数字。命令没有发出。</source>
        <translation>Character %1, &quot;%2&quot; (%3), is not a hex digit. Nothing was sent.</translation>
    </message>
    <message>
        <source>“%1”打开时，命令框按字节读取：每个字节两位十六进制数字，大小写均可，字节之间可以有空格，例如“41 54 0d0a”。在右键菜单中取消“%1”，即按文字发送。</source>
        <translation>While &quot;%1&quot; is on, the command box is read as bytes: two hex digits a byte, in either case, with spaces between the bytes if you like, for example &quot;41 54 0d0a&quot;. Turn &quot;%1&quot; off in the context menu to send text.</translation>
    </message>
    <message>
        <source>行尾</source>
        <translation>Line ending</translation>
    </message>
    <message>
        <source>十六进制发送</source>
        <translation>Send as hex</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>CR</source>
        <translation>CR</translation>
    </message>
    <message>
        <source>LF</source>
        <translation>LF</translation>
    </message>
    <message>
        <source>CR LF</source>
        <translation>CR LF</translation>
    </message>
</context>
<context>
    <name>Pairing</name>
    <message>
        <source>不能绑定到模块自己的地址</source>
        <translation>A module cannot be bound to its own address</translation>
    </message>
    <message>
        <source>%1 是这个端口上的模块自己的地址：请换到另一个模块，读取之后再绑定。</source>
        <translation>%1 is the own address of the module on this port: go to another module, read it, then bind.</translation>
    </message>
</context>
<context>
    <name>PairingState</name>
    <message>
        <source>已初始化</source>
        <translation>Initialised</translation>
    </message>
    <message>
        <source>准备就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>可配对</source>
        <translation>Pairable</translation>
    </message>
    <message>
        <source>已配对</source>
        <translation>Paired</translation>
    </message>
    <message>
        <source>正在查找设备</source>
        <translation>Inquiring</translation>
    </message>
    <message>
        <source>正在连接</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>已断开</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>已配对，但没有连接</source>
        <translation>Paired, but not connected</translation>
    </message>
    <message>
        <source>没有配对</source>
        <translation>Not paired</translation>
    </message>
    <message>
        <source>状态：%1</source>
        <translation>state: %1</translation>
    </message>
    <message>
        <source>配对列表中有 %1 个设备</source>
        <translation>%1 in its pairing list</translation>
    </message>
    <message>
        <source>最近配对的是 %1</source>
        <translation>last paired with %1</translation>
    </message>
    <message>
        <source>还没有配对过设备</source>
        <translation>never paired yet</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>。</source>
        <translation>.</translation>
    </message>
    <message>
        <source>没有配对上：对方不在附近、没有上电、不是从角色，或两边的 PIN 不同</source>
        <translation>not paired: the other module is not near, not powered, not a slave, or its PIN differs</translation>
    </message>
    <message>
        <source>没有连接上：对方不在附近、没有上电，或还没有与它配对</source>
        <translation>not connected: the other module is not near, not powered, or not paired yet</translation>
    </message>
</context>
<context>
    <name>PanelMenu</name>
    <message>
        <source>保存配置…</source>
        <translation>Save settings…</translation>
    </message>
    <message>
        <source>载入配置…</source>
        <translation>Load settings…</translation>
    </message>
    <message>
        <source>记住本机地址</source>
        <translation>Remember this address</translation>
    </message>
    <message>
        <source>绑定到记住的地址</source>
        <translation>Bind to the remembered address</translation>
    </message>
    <message>
        <source>绑定到 %1</source>
        <translation>Bind to %1</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>配置文件 (*.ini);;所有文件 (*)</source>
        <translation>Settings files (*.ini);;All files (*)</translation>
    </message>
    <message>
        <source>载入配置</source>
        <translation>Load settings</translation>
    </message>
    <message>
        <source>无法载入配置文件 %1</source>
        <translation>The settings file %1 cannot be loaded.</translation>
    </message>
    <message>
        <source>第 %1 行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
</context>
<context>
    <name>PanelOrigin</name>
    <message>
        <source>写入：%1，模块回答：%2</source>
        <translation>Written: %1, the module answers: %2</translation>
    </message>
    <message>
        <source>端口断开过：面板中的值读取自断开之前，之后还没有读取过模块。</source>
        <translation>The port was lost: the panel holds what was read before, and the module has not been read since.</translation>
    </message>
    <message>
        <source>换过端口：面板中的值不是从这个端口上的模块读取的。</source>
        <translation>Another port was searched: the panel does not hold what the module on this port answered.</translation>
    </message>
    <message>
        <source>还没有读取过模块。</source>
        <translation>The module has not been read yet.</translation>
    </message>
    <message>
        <source>上次读取没有完成：面板中可能还有之前的值。</source>
        <translation>The last query did not finish: the panel may still hold earlier values.</translation>
    </message>
    <message>
        <source>面板清除之后还没有读取过模块。</source>
        <translation>The panel was cleared and the module has not been read since.</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>面板中的值载入自文件 %1。</source>
        <translation>The panel was loaded from the file %1.</translation>
    </message>
    <message>
        <source>已绑定到 %1：主从角色、连接模式和绑定地址已改。</source>
        <translation>Bound to %1: the role, the connection mode and the bind address were changed.</translation>
    </message>
    <message>
        <source>模块没有回答：%1。</source>
        <translation>The module did not answer: %1.</translation>
    </message>
    <message>
        <source>%1（写入 %2，模块没有回答）</source>
        <translation>%1 (wrote %2, the module did not answer)</translation>
    </message>
    <message>
        <source>%1（写入 %2，模块回答 %3）</source>
        <translation>%1 (wrote %2, the module answers %3)</translation>
    </message>
</context>
<context>
    <name>PortSearch</name>
    <message>
        <source>%1（进程 %2）</source>
        <translation>%1 (process %2)</translation>
    </message>
    <message>
        <source>描述：%1</source>
        <translation>Description: %1</translation>
    </message>
    <message>
        <source>制造商：%1</source>
        <translation>Manufacturer: %1</translation>
    </message>
    <message>
        <source>VID:PID：%1:%2</source>
        <translation>VID:PID: %1:%2</translation>
    </message>
    <message>
        <source>序列号：%1</source>
        <translation>Serial number: %1</translation>
    </message>
    <message>
        <source>无权访问 %1：请将当前用户加入 dialout 组后重新登录</source>
        <translation>No permission for %1: add your user to the dialout group, then log in again</translation>
    </message>
    <message>
        <source>%1 正被 %2占用</source>
        <translation>%1 is in use by %2</translation>
    </message>
    <message>
        <source>%1 正被其他程序占用</source>
        <translation>%1 is in use by another program</translation>
    </message>
    <message>
        <source>%1 不存在</source>
        <translation>%1 does not exist</translation>
    </message>
    <message>
        <source>正在搜索： %1</source>
        <translation>Searching: %1</translation>
    </message>
    <message>
        <source>已经搜索到最后，再次点击重新搜索！</source>
        <translation>Reached the last port. Click again to search from the first.</translation>
    </message>
    <message>
        <source>同时被 %1打开</source>
        <translation>Also open in %1</translation>
    </message>
    <message>
        <source>端口：%1（%2）同时被 %3打开。</source>
        <translation>Port %1 (%2) is also open in %3.</translation>
    </message>
    <message>
        <source>另一个程序也在使用这个端口：它可能向模块发送自己的命令，或读走模块的回复。请关闭它，或让它不再使用这个端口。</source>
        <translation>Another program is using this port too: it may send its own commands to the module, or take the module&apos;s replies. Close it, or keep it off this port.</translation>
    </message>
    <message>
        <source>端口：%1 已断开</source>
        <translation>Port %1: lost</translation>
    </message>
    <message>
        <source>%1 无法加锁：%2 不是正常的锁文件，请删除它后重试</source>
        <translation>%1 cannot be locked: %2 is not a proper lock file; delete it and try again</translation>
    </message>
    <message>
        <source>%1 打开后一秒内没有返回，已放弃：它的锁文件 %2 可能被换成了管道</source>
        <translation>%1 did not open within a second and was given up: its lock file %2 may have been replaced by a pipe</translation>
    </message>
    <message>
        <source>端口：%1（%2）打不开！</source>
        <translation>Port %1 (%2) does not open.</translation>
    </message>
    <message>
        <source>端口 %1：%2</source>
        <translation>Port %1: %2</translation>
    </message>
    <message>
        <source>端口：%1 已打开 · %2</source>
        <translation>Port %1: open · %2</translation>
    </message>
    <message>
        <source>适配器不接受波特率 %1</source>
        <translation>The adapter does not accept the baud rate %1</translation>
    </message>
    <message>
        <source>端口仍以 %1 运行。</source>
        <translation>The port still runs at %1.</translation>
    </message>
</context>
<context>
    <name>RefusalCodes</name>
    <message>
        <source>命令错误：未知命令、格式不对，或行结束符不对</source>
        <translation>command error: an unknown command, a wrong form, or a wrong line ending</translation>
    </message>
    <message>
        <source>默认结果</source>
        <translation>default result</translation>
    </message>
    <message>
        <source>PSKEY 写入错误</source>
        <translation>PSKEY write error</translation>
    </message>
    <message>
        <source>设备名称太长（超过 32 字节）</source>
        <translation>name too long (over 32 bytes)</translation>
    </message>
    <message>
        <source>设备名称为空</source>
        <translation>name empty</translation>
    </message>
    <message>
        <source>蓝牙地址的 NAP 部分太长</source>
        <translation>address part NAP too long</translation>
    </message>
    <message>
        <source>蓝牙地址的 UAP 部分太长</source>
        <translation>address part UAP too long</translation>
    </message>
    <message>
        <source>蓝牙地址的 LAP 部分太长</source>
        <translation>address part LAP too long</translation>
    </message>
    <message>
        <source>缺少 PIO 口掩码</source>
        <translation>no PIO mask</translation>
    </message>
    <message>
        <source>缺少 PIO 口序号</source>
        <translation>no PIO number</translation>
    </message>
    <message>
        <source>缺少设备类</source>
        <translation>no device class</translation>
    </message>
    <message>
        <source>设备类太长</source>
        <translation>device class too long</translation>
    </message>
    <message>
        <source>缺少查询访问码</source>
        <translation>no inquiry access code</translation>
    </message>
    <message>
        <source>查询访问码太长</source>
        <translation>inquiry access code too long</translation>
    </message>
    <message>
        <source>查询访问码无效</source>
        <translation>invalid inquiry access code</translation>
    </message>
    <message>
        <source>连接密码为空</source>
        <translation>PIN empty</translation>
    </message>
    <message>
        <source>连接密码太长（超过 16 字节）</source>
        <translation>PIN too long (over 16 bytes)</translation>
    </message>
    <message>
        <source>模块角色无效</source>
        <translation>invalid role</translation>
    </message>
    <message>
        <source>波特率无效</source>
        <translation>invalid baud rate</translation>
    </message>
    <message>
        <source>停止位无效</source>
        <translation>invalid stop bit</translation>
    </message>
    <message>
        <source>校验位无效</source>
        <translation>invalid parity</translation>
    </message>
    <message>
        <source>该设备不在配对列表中</source>
        <translation>device not in the pairing list</translation>
    </message>
    <message>
        <source>SPP 库未初始化</source>
        <translation>SPP library not initialised</translation>
    </message>
    <message>
        <source>SPP 库重复初始化（再次初始化后出现，无妨）</source>
        <translation>SPP library initialised twice (harmless after a repeated initialisation)</translation>
    </message>
    <message>
        <source>查询模式无效</source>
        <translation>invalid inquiry mode</translation>
    </message>
    <message>
        <source>查询时间太长</source>
        <translation>inquiry time too long</translation>
    </message>
    <message>
        <source>缺少蓝牙地址</source>
        <translation>no Bluetooth address</translation>
    </message>
    <message>
        <source>安全模式无效</source>
        <translation>invalid safe mode</translation>
    </message>
    <message>
        <source>加密模式无效</source>
        <translation>invalid encryption mode</translation>
    </message>
    <message>
        <source>连接密码没有加引号（固件 3.0）</source>
        <translation>PIN without quotes (firmware 3.0)</translation>
    </message>
    <message>
        <source>此命令在这种命令模式下不可用（固件 3.0）：模块上电时没有按住进入命令模式的按键</source>
        <translation>command not available in this command mode (firmware 3.0): the module was powered up without its command-mode key held</translation>
    </message>
</context>
<context>
    <name>Sequence</name>
    <message>
        <source>“\x”后面要有两位十六进制数字</source>
        <translation>“\x” needs two hex digits after it</translation>
    </message>
    <message>
        <source>不认识的转义“\%1”：可以用 \r、\n、\t、\\ 和 \xHH</source>
        <translation>“\%1” is no known escape: use \r, \n, \t, \\ and \xHH</translation>
    </message>
    <message>
        <source>含有控制字符：换行等要写成 \r、\n</source>
        <translation>holds a control character: write a line break as \r or \n</translation>
    </message>
    <message>
        <source>“send”后面没有要发送的内容</source>
        <translation>nothing to send after “send”</translation>
    </message>
    <message>
        <source>模式有误：%1</source>
        <translation>the pattern is wrong: %1</translation>
    </message>
    <message>
        <source>“wait”后面要有 1 到 %1 之间的毫秒数</source>
        <translation>“wait” needs a number of milliseconds from 1 to %1</translation>
    </message>
    <message>
        <source>不认识“%1”：可以用 {addr} 和 {bind}</source>
        <translation>“%1” is not known: use {addr} and {bind}</translation>
    </message>
    <message>
        <source>“%1”后面没有要等待的内容</source>
        <translation>nothing to wait for after “%1”</translation>
    </message>
    <message>
        <source>不认识“%1”：每一行以 send、expect、maybe、wait 或 # 开始</source>
        <translation>“%1” is not known: each line begins with send, expect, maybe, wait or #</translation>
    </message>
    <message>
        <source>配对并自动连接…</source>
        <translation>Pair and Connect…</translation>
    </message>
    <message>
        <source>读取配对信息</source>
        <translation>Read the Pairing</translation>
    </message>
    <message>
        <source>恢复出厂设置…</source>
        <translation>Factory Reset…</translation>
    </message>
</context>
<context>
    <name>SequenceRunner</name>
    <message>
        <source>序列 %1：第 %2 步，共 %3 步 · %4</source>
        <translation>Sequence %1: step %2 of %3 · %4</translation>
    </message>
    <message>
        <source>%1 还不知道：先读取模块，或记住对方的地址</source>
        <translation>%1 is not known yet: read the module first, or keep the other one’s address</translation>
    </message>
    <message>
        <source>没有发出</source>
        <translation>it did not go out</translation>
    </message>
    <message>
        <source>序列 %1 已完成（%2 步）。</source>
        <translation>Sequence %1 done (%2 steps).</translation>
    </message>
    <message>
        <source>端口已断开</source>
        <translation>the port went away</translation>
    </message>
    <message>
        <source>序列 %1 在第 %2 步停止：读取或更新模块开始了。</source>
        <translation>Sequence %1 stopped at step %2: a read or write of the module began.</translation>
    </message>
    <message>
        <source>%1 毫秒内什么也没有收到</source>
        <translation>nothing arrived within %1 ms</translation>
    </message>
    <message>
        <source>收到的是“%1”</source>
        <translation>what came was “%1”</translation>
    </message>
    <message>
        <source>（%1：%2）</source>
        <translation> (%1: %2)</translation>
    </message>
    <message>
        <source>序列 %1 的第 %2 步“%3”没有完成：%4</source>
        <translation>Step %2 of sequence %1, “%3”, did not complete: %4</translation>
    </message>
    <message>
        <source>序列 %1 在第 %2 步被停止。</source>
        <translation>Sequence %1 was stopped at step %2.</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
</context>
<context>
    <name>SettingCheck</name>
    <message>
        <source>最多 %1 字节，现在 %2 字节</source>
        <translation>at most %1 bytes, now %2</translation>
    </message>
    <message>
        <source>只能是字母和数字</source>
        <translation>letters and digits only</translation>
    </message>
    <message>
        <source>最多 %1 个字符，现在 %2 个</source>
        <translation>at most %1 characters, now %2</translation>
    </message>
    <message>
        <source>应为三个数：模式 0 或 1，最多设备数 1-32767，超时 1-48，如 1,1,48</source>
        <translation>three numbers: mode 0 or 1, most devices 1-32767, timeout 1-48, as 1,1,48</translation>
    </message>
    <message>
        <source>应为“波特率,停止位,校验位”，波特率为 %1 之一，停止位 0 或 1，校验位 0、1 或 2</source>
        <translation>“rate,stop bits,parity”: a rate among %1, stop bits 0 or 1, parity 0, 1 or 2</translation>
    </message>
    <message>
        <source>应为三段十六进制数，如 98d3:31:fd5e6f</source>
        <translation>three hex parts, as 98d3:31:fd5e6f</translation>
    </message>
    <message>
        <source>含有换行或其他控制字符</source>
        <translation>holds a line break or another control character</translation>
    </message>
    <message>
        <source>应为十六进制数，最多 8 位，如 1f00</source>
        <translation>a hex number of at most 8 digits, as 1f00</translation>
    </message>
    <message>
        <source>应为十六进制数，最多 6 位，如 9e8b33</source>
        <translation>a hex number of at most 6 digits, as 9e8b33</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>SettingsBox</name>
    <message>
        <source>这里不能有换行或其他控制字符，没有填入。</source>
        <translation>No line breaks or other control characters here: nothing was pasted.</translation>
    </message>
</context>
<context>
    <name>SettingsFile</name>
    <message>
        <source>不是 UTF-8 文本</source>
        <translation>not UTF-8 text</translation>
    </message>
    <message>
        <source>无法读懂这一行</source>
        <translation>not a setting, a section or a comment</translation>
    </message>
    <message>
        <source>未知的设置 %1</source>
        <translation>unknown setting %1</translation>
    </message>
    <message>
        <source>无法写入</source>
        <translation>cannot be written</translation>
    </message>
    <message>
        <source>文件不存在</source>
        <translation>the file does not exist</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>文件太大，不是配置文件</source>
        <translation>too large for a settings file</translation>
    </message>
    <message>
        <source>无法读懂这个文件</source>
        <translation>not a settings file</translation>
    </message>
    <message>
        <source>缺少设置 %1</source>
        <translation>the setting %1 is missing</translation>
    </message>
    <message>
        <source>%1 的值不能填入面板</source>
        <translation>the value of %1 does not fit the panel</translation>
    </message>
    <message>
        <source>%1 的值含有换行或其他控制字符</source>
        <translation>the value of %1 holds a line break or another control character</translation>
    </message>
</context>
<context>
    <name>SettingsPanel</name>
    <message>
        <source>设备名称：</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>软件版本：</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>本机MAC地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>主从角色：</source>
        <translation>Role:</translation>
    </message>
    <message>
        <source>设备类：</source>
        <translation>Class:</translation>
    </message>
    <message>
        <source>连接密码：</source>
        <translation>PIN:</translation>
    </message>
    <message>
        <source>查询访问码：</source>
        <translation>IAC:</translation>
    </message>
    <message>
        <source>连接模式：</source>
        <translation>Connect:</translation>
    </message>
    <message>
        <source>绑定地址：</source>
        <translation>Bind to:</translation>
    </message>
    <message>
        <source>查询访问模式：</source>
        <translation>Inquiry mode:</translation>
    </message>
    <message>
        <source>当前工作状态：</source>
        <translation>Working state:</translation>
    </message>
    <message>
        <source>通讯波特率(数据模式）：</source>
        <translation>UART (data mode):</translation>
    </message>
    <message>
        <source>最近使用过的蓝牙认证设备地址：</source>
        <translation>Last authenticated device:</translation>
    </message>
    <message>
        <source>主角色</source>
        <translation>Master</translation>
    </message>
    <message>
        <source>从角色</source>
        <translation>Slave</translation>
    </message>
    <message>
        <source>回环角色</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>任意地址</source>
        <translation>Any</translation>
    </message>
    <message>
        <source>指定地址</source>
        <translation>Bound</translation>
    </message>
    <message>
        <source>回环</source>
        <translation>Loop</translation>
    </message>
</context>
<context>
    <name>StepWatch</name>
    <message>
        <source>模块是否已通电；</source>
        <translation>that the module has power;</translation>
    </message>
    <message>
        <source>TX 与 RX 是否交叉相接：适配器的 TX 接模块的 RX，适配器的 RX 接模块的 TX；</source>
        <translation>that TX and RX are crossed: the adapter&apos;s TX to the module&apos;s RX, the adapter&apos;s RX to the module&apos;s TX;</translation>
    </message>
    <message>
        <source>模块是否处于命令模式：多数模块要在上电时按住按键，或把 KEY 引脚接高电平；</source>
        <translation>that the module is in its command mode: most modules need their button held down, or the KEY pin high, at power-up;</translation>
    </message>
    <message>
        <source>波特率：当前为 %1；命令模式常用 %2，数据模式常用 %3 或设置过的波特率。</source>
        <translation>the baud rate: it is %1 now; the command mode often runs at %2, the data mode at %3 or at a rate set earlier.</translation>
    </message>
    <message>
        <source>请检查：</source>
        <translation>Check:</translation>
    </message>
    <message>
        <source>“%1”发出 %2 秒后，模块没有任何回应。</source>
        <translation>%2 s after &quot;%1&quot;, the module has not answered at all.</translation>
    </message>
    <message>
        <source>“%1”发出后收到的字节不能读作文字（乱码、控制字符或空字节），这多半是波特率不对。当前波特率为 %2。</source>
        <translation>What came back after &quot;%1&quot; does not read as text (garbled bytes, control characters or NULs): most likely the baud rate is wrong. It is %2 now.</translation>
    </message>
    <message>
        <source>“%1”发出 %2 秒后，回应中仍没有这一步等待的结尾%3。收到的最后一行：
“%4”</source>
        <translation>%2 s after &quot;%1&quot;, the reply still lacks the %3 that this step waits for. Its last line:
&quot;%4&quot;</translation>
    </message>
    <message>
        <source>“OK”</source>
        <translation>&quot;OK&quot;</translation>
    </message>
    <message>
        <source>“OK”或“ERROR”</source>
        <translation>&quot;OK&quot; or &quot;ERROR&quot;</translation>
    </message>
    <message>
        <source>模块可能要求另一种行结束符（本工具以 CR LF 结束每条命令），或者使用另一套命令。</source>
        <translation>The module may want another line ending (this tool ends each command with CR LF), or speak another command set.</translation>
    </message>
    <message>
        <source>查找波特率</source>
        <translation>Find baud rate</translation>
    </message>
    <message>
        <source>模块拒绝了以下设置：</source>
        <translation>The module refused these settings:</translation>
    </message>
    <message>
        <source>其余设置模块已回答“OK”。可在面板中改正这些值后再次更新。</source>
        <translation>It answered &quot;OK&quot; to the others. Correct these values in the panel, then update again.</translation>
    </message>
    <message>
        <source>%1%2</source>
        <comment>a setting&apos;s caption and the module&apos;s reply</comment>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>“%1”发出 %2 秒后，这一步等待的“OK”已经到了，却不在一行的开头：模块的回应不带行结束符。收到的最后一行：
“%3”</source>
        <translation>%2 s after &quot;%1&quot;, the &quot;OK&quot; this step waits for has come, but not at the start of a line: the module&apos;s replies come without line ends. Its last line:
&quot;%3&quot;</translation>
    </message>
    <message>
        <source>回应不带行结束符的模块多半使用另一套命令：面板的读取和更新不适用于它。</source>
        <translation>A module whose replies have no line ends most likely speaks another command set: the panel&apos;s query and update do not apply to it.</translation>
    </message>
    <message>
        <source>：%1</source>
        <comment>after a quoted refusal code: its meaning</comment>
        <translation>: %1</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <comment>a refusal code and its meaning</comment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>已读取全部 %1 项设置</source>
        <translation>All %1 settings read</translation>
    </message>
    <message>
        <source>已写入 %1 项设置</source>
        <translation>%1 settings written</translation>
    </message>
    <message>
        <source>模块回答了前面的命令，却不回答这一条：它可能处于只回答少数命令的受限命令模式。</source>
        <translation>It answered the earlier commands but not this one: it may be in a limited command mode, which answers only a few commands.</translation>
    </message>
    <message>
        <source>模块回答了前面的命令，却不回答这一条：本次读取中，它在 %1 波特率下对“%2”回答了“OK”，所以波特率没有问题。</source>
        <translation>It answered the earlier commands but not this one: in this query it answered &quot;%2&quot; with &quot;OK&quot; at %1 baud, so the baud rate is right.</translation>
    </message>
    <message>
        <source>它多半处于只回答少数命令的受限命令模式，请查看检查项 %1：</source>
        <translation>Most likely it is in a limited command mode, which answers only a few commands; see item %1 of the check list:</translation>
    </message>
    <message>
        <source>已保留 %1 项设置中的 %2 项</source>
        <translation>Kept %2 of %1 settings</translation>
    </message>
    <message>
        <source>%1 项中 %2 项未保留：%3</source>
        <translation>%2 of %1 not kept: %3</translation>
    </message>
    <message>
        <source>、</source>
        <translation>; </translation>
    </message>
    <message>
        <source>通讯波特率用于数据模式，在模块重新上电之后生效；按住按键上电进入命令模式时仍为 38400。</source>
        <translation>The rate is the data mode’s and takes effect at the next power-up; powered up with its key held, the module’s command mode stays at 38400.</translation>
    </message>
</context>
<context>
    <name>Titles</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>文件保存失败！</source>
        <translation>The file was not saved.</translation>
    </message>
</context>
<context>
    <name>Update</name>
    <message>
        <source>（空）</source>
        <translation>(empty)</translation>
    </message>
    <message>
        <source>未选择</source>
        <translation>none chosen</translation>
    </message>
</context>
<context>
    <name>UpdateGuard</name>
    <message>
        <source>是否向模块写入以下设置？</source>
        <translation>Write these settings to the module?</translation>
    </message>
    <message>
        <source>将写入的设置：</source>
        <translation>Settings to write:</translation>
    </message>
    <message>
        <source>%1没有选择：将写入 %2。</source>
        <translation>%1: no option chosen; %2 will be written.</translation>
    </message>
    <message>
        <source>以下设置为空：%1。</source>
        <translation>These settings are empty: %1.</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>（模块回答：%1）</source>
        <translation> (the module answered: %1)</translation>
    </message>
    <message>
        <source>%1%2</source>
        <comment>a caption, and the value after it</comment>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>以下设置模块不能接受，改正之后才能写入：</source>
        <translation>The module cannot take these settings; mend them to write:</translation>
    </message>
</context>
</TS>
