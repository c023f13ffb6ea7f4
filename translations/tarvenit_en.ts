<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CommandEngine</name>
    <message>
        <source>端口打开错误，请搜索端口后重试！</source>
        <translation>Cannot use the port. Search for the port, then try again.</translation>
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
        <translation>Get module info</translation>
    </message>
    <message>
        <source>更新模块信息</source>
        <translation>Update module</translation>
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
        <source>文件保存失败！</source>
        <translation>The file was not saved.</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>当前行号： %1</source>
        <translation>Line: %1</translation>
    </message>
    <message>
        <source>当前位置： %1</source>
        <translation>Line start: %1</translation>
    </message>
    <message>
        <source>总的行数： %1</source>
        <translation>Lines: %1</translation>
    </message>
    <message>
        <source>记录到文件失败，记录已停止！</source>
        <translation>The log has stopped: a write to its file failed.</translation>
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
        <source>端口：%1 已打开</source>
        <translation>Port %1: open</translation>
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
</context>
<context>
    <name>RateFinder</name>
    <message>
        <source>正在查找模块的波特率……</source>
        <translation>Looking for the module&apos;s baud rate…</translation>
    </message>
    <message>
        <source>依次以这些波特率发送“%1”，每个最多等待 %2 毫秒：
%3</source>
        <translation>Sending &quot;%1&quot; at each of these baud rates in turn, waiting up to %2 ms at each:
%3</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>尝试：%1</source>
        <translation>Trying: %1</translation>
    </message>
    <message>
        <source>在每一个波特率下，模块都没有回答“%1”。</source>
        <translation>The module did not answer &quot;%1&quot; at any baud rate.</translation>
    </message>
    <message>
        <source>模块在 %1 波特率下回答了“%2”。</source>
        <translation>The module answered &quot;%2&quot; at %1 baud.</translation>
    </message>
    <message>
        <source>端口保持以 %1 打开，波特率列表也已选中 %1。现在可以重新读取模块信息。</source>
        <translation>The port stays open at %1 baud, and the baud rate list shows %1. Get the module info again now.</translation>
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
        <translation>Conn. mode:</translation>
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
        <translation>Loopback</translation>
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
        <source>模块回答了前面的命令，却不回答这一条：它可能处于只回答少数命令的受限命令模式。</source>
        <translation>It answered the earlier commands but not this one: it may be in a limited command mode, which answers only a few commands.</translation>
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
</context>
</TS>
