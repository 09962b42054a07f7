<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>ProfileCatalogue</name>
    <message>
        <source>an object</source>
        <translation>对象</translation>
    </message>
    <message>
        <source>a list</source>
        <translation>列表</translation>
    </message>
    <message>
        <source>%1 hex digits</source>
        <translation>%1 位十六进制数</translation>
    </message>
    <message>
        <source>true or false</source>
        <translation>true 或 false</translation>
    </message>
    <message>
        <source>a whole number from %1 to %2</source>
        <translation>%1 到 %2 的整数</translation>
    </message>
    <message>
        <source>one of %1</source>
        <translation>%1 之一</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>expected %1, got %2</source>
        <translation>应为 %1，实为 %2</translation>
    </message>
    <message>
        <source>%1 is not allowed; expected %2</source>
        <translation>不允许 %1，应为 %2</translation>
    </message>
    <message>
        <source>this pin does not offer %1; expected %2</source>
        <translation>此引脚没有 %1 功能，应为 %2</translation>
    </message>
    <message>
        <source>%1 is out of range; expected %2</source>
        <translation>%1 超出范围，应为 %2</translation>
    </message>
    <message>
        <source>%1: %2 Hz is stored as %3 Hz</source>
        <translation>%1：%2 Hz 将存为 %3 Hz</translation>
    </message>
</context>
<context>
    <name>ProfileFile</name>
    <message>
        <source>line %1, column %2</source>
        <translation>第 %1 行第 %2 列</translation>
    </message>
    <message>
        <source>%1: unknown key; did you mean &quot;%2&quot;?</source>
        <translation>%1：未知的键，是否应为 &quot;%2&quot;？</translation>
    </message>
    <message>
        <source>%1: expected an object, got %2</source>
        <translation>%1：应为对象，实为 %2</translation>
    </message>
    <message>
        <source>a list</source>
        <translation>列表</translation>
    </message>
    <message>
        <source>%1: expected a string, got %2</source>
        <translation>%1：应为字符串，实为 %2</translation>
    </message>
    <message>
        <source>format: missing; expected &quot;%1&quot;</source>
        <translation>format：缺失，应为 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>format: %1 is not a module profile; expected &quot;%2&quot;</source>
        <translation>format：%1 不是模块配置文件，应为 &quot;%2&quot;</translation>
    </message>
    <message>
        <source>version: expected %1, got %2</source>
        <translation>version：应为 %1，实为 %2</translation>
    </message>
    <message>
        <source>nothing</source>
        <translation>空</translation>
    </message>
    <message>
        <source>version: %1 is newer than this program reads (%2)</source>
        <translation>version：%1 比本程序能读的版本（%2）新</translation>
    </message>
    <message>
        <source>%1: given more than once</source>
        <translation>%1：重复出现</translation>
    </message>
    <message>
        <source>parameters: missing</source>
        <translation>parameters：缺失</translation>
    </message>
    <message>
        <source>empty file, not a profile</source>
        <translation>空文件，不是配置文件</translation>
    </message>
    <message>
        <source>`read`&apos;s table, not a profile; use `backup` or `read --json`</source>
        <translation>这是 `read` 输出的表格，不是配置文件；请用 `backup` 或 `read --json` 保存</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>the profile is not a JSON object</source>
        <translation>配置文件不是 JSON 对象</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>cannot read: %1</source>
        <translation>无法读取：%1</translation>
    </message>
    <message>
        <source>%1 bytes: larger than a profile can be (%2 bytes at most)</source>
        <translation>%1 字节，超出配置文件的大小上限（最多 %2 字节）</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not KEY=VALUE</source>
        <translation>&quot;%1&quot; 不是 KEY=VALUE 形式</translation>
    </message>
</context>
<context>
    <name>QIODevice</name>
    <message>
        <source>Unknown error</source>
        <translation>未知错误</translation>
    </message>
</context>
<context>
    <name>QJsonParseError</name>
    <message>
        <source>no error occurred</source>
        <translation>没有错误</translation>
    </message>
    <message>
        <source>unterminated object</source>
        <translation>对象未结束</translation>
    </message>
    <message>
        <source>missing name separator</source>
        <translation>缺少名称分隔符</translation>
    </message>
    <message>
        <source>unterminated array</source>
        <translation>数组未结束</translation>
    </message>
    <message>
        <source>missing value separator</source>
        <translation>缺少值分隔符</translation>
    </message>
    <message>
        <source>illegal value</source>
        <translation>非法值</translation>
    </message>
    <message>
        <source>invalid termination by number</source>
        <translation>以数字非法结束</translation>
    </message>
    <message>
        <source>illegal number</source>
        <translation>非法数字</translation>
    </message>
    <message>
        <source>invalid escape sequence</source>
        <translation>非法转义序列</translation>
    </message>
    <message>
        <source>invalid UTF8 string</source>
        <translation>非法 UTF-8 字符串</translation>
    </message>
    <message>
        <source>unterminated string</source>
        <translation>字符串未结束</translation>
    </message>
    <message>
        <source>object is missing after a comma</source>
        <translation>逗号后缺少对象</translation>
    </message>
    <message>
        <source>too deeply nested document</source>
        <translation>文档嵌套过深</translation>
    </message>
    <message>
        <source>too large document</source>
        <translation>文档过大</translation>
    </message>
    <message>
        <source>garbage at the end of the document</source>
        <translation>文档末尾有多余内容</translation>
    </message>
</context>
<context>
    <name>QSaveFile</name>
    <message>
        <source>Existing file %1 is not writable</source>
        <translation>已有文件 %1 不可写</translation>
    </message>
    <message>
        <source>Filename refers to a directory</source>
        <translation>文件名指向一个文件夹</translation>
    </message>
    <message>
        <source>Writing canceled by application</source>
        <translation>程序取消了写入</translation>
    </message>
</context>
<context>
    <name>SaveFile</name>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
</context>
<context>
    <name>SystemText</name>
    <message>
        <source>Operation not permitted</source>
        <translation>不允许的操作</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>文件或文件夹不存在</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>输入/输出错误</translation>
    </message>
    <message>
        <source>No such device or address</source>
        <translation>设备或地址不存在</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>没有权限</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>设备或资源忙</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>文件已存在</translation>
    </message>
    <message>
        <source>No such device</source>
        <translation>设备不存在</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>不是文件夹</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>是一个文件夹</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>无效的参数</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>打开的文件过多</translation>
    </message>
    <message>
        <source>Text file busy</source>
        <translation>文件正被执行</translation>
    </message>
    <message>
        <source>File too large</source>
        <translation>文件过大</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>磁盘空间已满</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>只读文件系统</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>文件名过长</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <translation>符号链接层数过多</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>超出磁盘配额</translation>
    </message>
    <message>
        <source>Cannot allocate memory</source>
        <translation>内存不足</translation>
    </message>
    <message>
        <source>Stale file handle</source>
        <translation>文件句柄已失效</translation>
    </message>
    <message>
        <source>Invalid cross-device link</source>
        <translation>无效的跨设备链接</translation>
    </message>
</context>
</TS>
