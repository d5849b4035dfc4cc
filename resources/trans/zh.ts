<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>192.168.100.88</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BACK</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>BIN Files(*.bin)</source>
        <translation>BIN文件(*.bin)</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <source>Backup File </source>
        <translation>备份文件 </translation>
    </message>
    <message>
        <source>Backup Status </source>
        <translation>备份状态 </translation>
    </message>
    <message>
        <source>Backup Success</source>
        <translation>备份成功</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>生成</translation>
    </message>
    <message>
        <source>checking file...</source>
        <translation>正在校验文件...</translation>
    </message>
    <message>
        <source>Close Flicker</source>
        <translation>关闭闪烁</translation>
    </message>
    <message>
        <source>Command format error</source>
        <translation>命令格式错误</translation>
    </message>
    <message>
        <source>Config</source>
        <translation>配置</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Connection failure</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <source>Connection timeout</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>DOWN</source>
        <translation>下</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>设备ID</translation>
    </message>
    <message>
        <source>Devices: </source>
        <translation>设备数: </translation>
    </message>
    <message>
        <source>Devices：</source>
        <translation>设备数：</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开</translation>
    </message>
    <message>
        <source>Do you really want reboot?</source>
        <translation>是否重启设备?</translation>
    </message>
    <message>
        <source>Do you really want to exit?</source>
        <translation>是否退出程序?</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>First DNS</source>
        <translation>首选DNS</translation>
    </message>
    <message>
        <source>Flicker</source>
        <translation>闪烁</translation>
    </message>
    <message>
        <source>GateWay</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>IMG Files(*.img)</source>
        <translation>IMG文件(*.img)</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP地址</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>消息</translation>
    </message>
    <message>
        <source>Initializes the multicast failure</source>
        <translation>初始化组播失败</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>网卡</translation>
    </message>
    <message>
        <source>Join the multicast group fail</source>
        <translation>加入组播组失败</translation>
    </message>
    <message>
        <source>LEFT</source>
        <translation>左</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Load File</source>
        <translation>加载文件</translation>
    </message>
    <message>
        <source>MAC Address</source>
        <translation>MAC地址</translation>
    </message>
    <message>
        <source>MENU</source>
        <translation>菜单</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>升级软件 v2.7</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>手动</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>配置方式</translation>
    </message>
    <message>
        <source>NetMask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>Network information fill in error</source>
        <translation>网络信息填写有误</translation>
    </message>
    <message>
        <source>No</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>No picture for 5 s, reconnecting...</source>
        <translation>5 秒没有画面，正在重新连接...</translation>
    </message>
    <message>
        <source>Not exist backup files</source>
        <translation>不存在备份文件</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Open file failed</source>
        <translation>打开文件失败</translation>
    </message>
    <message>
        <source>PKG Files(*.pkg)</source>
        <translation>PKG文件(*.pkg)</translation>
    </message>
    <message>
        <source>Please select the need to configure the equipment</source>
        <translation>请选择需要配置的设备</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>查询</translation>
    </message>
    <message>
        <source>RIGHT</source>
        <translation>右</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>重启</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>恢复</translation>
    </message>
    <message>
        <source>Restore Success</source>
        <translation>恢复成功</translation>
    </message>
    <message>
        <source>Restore failed reboot...</source>
        <translation>恢复失败，正在重启...</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>搜索</translation>
    </message>
    <message>
        <source>Select Upgrade pack</source>
        <translation>选择升级包</translation>
    </message>
    <message>
        <source>Select Upgrade type</source>
        <translation>选择升级类型</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Set Success</source>
        <translation>设置成功</translation>
    </message>
    <message>
        <source>The camera refused the settings</source>
        <translation>相机拒绝了该设置</translation>
    </message>
    <message numerus="yes">
        <source>Address shared with %n other camera(s)</source>
        <translation>
            <numerusform>与另外 %n 台相机共用IP地址</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>MAC shared with %n other camera(s)</source>
        <translation>
            <numerusform>与另外 %n 台相机共用MAC地址</numerusform>
        </translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>TYPE1</source>
        <translation>类型1</translation>
    </message>
    <message>
        <source>TYPE2</source>
        <translation>类型2</translation>
    </message>
    <message>
        <source>The network information is incomplete</source>
        <translation>网络信息不完整</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>UP</source>
        <translation>上</translation>
    </message>
    <message>
        <source>UPGRADE v2.7</source>
        <translation>升级软件 v2.7</translation>
    </message>
    <message>
        <source>Upgrade</source>
        <translation>升级</translation>
    </message>
    <message>
        <source>Upgrade Success</source>
        <translation>升级成功</translation>
    </message>
    <message>
        <source>Upgrade file type does not match</source>
        <translation>升级文件类型不匹配</translation>
    </message>
    <message>
        <source>Upgrade file type does not match, whether to continue to Upgrade?</source>
        <translation>升级文件类型不匹配，是否继续升级?</translation>
    </message>
    <message>
        <source>Uptime</source>
        <translation>运行时间</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>arm upgrade file not found reboot...</source>
        <translation>未找到ARM升级文件，正在重启...</translation>
    </message>
    <message>
        <source>backup failed</source>
        <translation>备份失败</translation>
    </message>
    <message>
        <source>board is not enough disk space</source>
        <translation>设备磁盘空间不足</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>connecting...</source>
        <translation>正在连接...</translation>
    </message>
    <message>
        <source>disconnect</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>exist</source>
        <translation>存在</translation>
    </message>
    <message>
        <source>file verify fail reboot...</source>
        <translation>文件校验失败，正在重启...</translation>
    </message>
    <message>
        <source>file verify succeed upgradeing...</source>
        <translation>文件校验成功，正在升级...</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>receive file finish</source>
        <translation>文件接收完成</translation>
    </message>
    <message>
        <source>restoring...</source>
        <translation>正在恢复...</translation>
    </message>
    <message>
        <source>select upgrade pack</source>
        <translation>选择升级包</translation>
    </message>
    <message>
        <source>start backup</source>
        <translation>开始备份</translation>
    </message>
    <message>
        <source>start receive</source>
        <translation>开始接收</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>transmitting...</source>
        <translation>正在传输...</translation>
    </message>
    <message>
        <source>upgrade fail reboot...</source>
        <translation>升级失败，正在重启...</translation>
    </message>
    <message>
        <source>waiting upgrade start</source>
        <translation>等待升级开始</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>Backup failed, the upgrade was not started</source>
        <translation>备份失败，未开始升级</translation>
    </message>
    <message>
        <source>stalled: no progress for %1 s</source>
        <translation>传输停滞：%1 秒无进展</translation>
    </message>
    <message>
        <source>Version now: %1</source>
        <translation>当前版本：%1</translation>
    </message>
    <message>
        <source>The camera did not answer after the reboot</source>
        <translation>相机重启后没有应答</translation>
    </message>
</context>
<context>
    <name>AssignDialog</name>
    <message>
        <source>Assign addresses</source>
        <translation>批量分配地址</translation>
    </message>
    <message>
        <source>First address</source>
        <translation>起始地址</translation>
    </message>
    <message>
        <source>Netmask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>DNS (empty: the gateway)</source>
        <translation>DNS（留空则用网关）</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>设备ID</translation>
    </message>
    <message>
        <source>MAC Address</source>
        <translation>MAC地址</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>跳过的地址</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>in use</source>
        <translation>已被占用</translation>
    </message>
    <message>
        <source>this computer</source>
        <translation>本机地址</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>gateway or DNS</source>
        <translation>网关或DNS</translation>
    </message>
    <message>
        <source>not usable</source>
        <translation>不可用</translation>
    </message>
    <message>
        <source>sending...</source>
        <translation>发送中...</translation>
    </message>
    <message>
        <source>acknowledged</source>
        <translation>已应答</translation>
    </message>
    <message>
        <source>confirmed</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <source>found at %1</source>
        <translation>在 %1 找到</translation>
    </message>
    <message>
        <source>Fill in the first address, netmask and gateway</source>
        <translation>请填写起始地址、子网掩码和网关</translation>
    </message>
    <message>
        <source>The camera %1 reports no usable MAC address</source>
        <translation>相机 %1 没有可用的MAC地址</translation>
    </message>
    <message>
        <source>Network information fill in error</source>
        <translation>网络信息填写有误</translation>
    </message>
    <message>
        <source>The range does not fit in the subnet: it would pass %1</source>
        <translation>地址范围超出子网：将越过 %1</translation>
    </message>
    <message>
        <source>Done: </source>
        <translation>完成：</translation>
    </message>
    <message>
        <source>%1 confirmed, %2 acknowledged, %3 refused, %4 no answer, %5 skipped</source>
        <translation>已确认 %1，已应答 %2，被拒绝 %3，无应答 %4，已跳过 %5</translation>
    </message>
    <message numerus="yes">
        <source>%n camera(s) from %1 to %2</source>
        <translation>
            <numerusform>%n 台相机：%1 至 %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; %n address(es) skipped</source>
        <translation>
            <numerusform>；跳过 %n 个地址</numerusform>
        </translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>消息</translation>
    </message>
    <message numerus="yes">
        <source>Give %n camera(s) their new addresses?</source>
        <translation>
            <numerusform>为 %n 台相机分配新地址？</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DeviceListTools</name>
    <message>
        <source>Assign addresses...</source>
        <translation>批量分配地址...</translation>
    </message>
    <message>
        <source>Export list...</source>
        <translation>导出列表...</translation>
    </message>
    <message>
        <source>Export list</source>
        <translation>导出列表</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV文件 (*.csv)</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The list could not be saved: %1</source>
        <translation>无法保存列表：%1</translation>
    </message>
</context>
<context>
    <name>MyThread</name>
    <message>
        <source>Day</source>
        <translation>天</translation>
    </message>
</context>
<context>
    <name>RolloutTab</name>
    <message>
        <source>Firmware</source>
        <translation>固件</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Parallel</source>
        <translation>并行数</translation>
    </message>
    <message>
        <source>Canary</source>
        <translation>试点台数</translation>
    </message>
    <message>
        <source>Stop after failures</source>
        <translation>失败几台后停止</translation>
    </message>
    <message>
        <source>never</source>
        <translation>从不</translation>
    </message>
    <message>
        <source>Back up first</source>
        <translation>先备份</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认版本</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>设备ID</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>进度</translation>
    </message>
    <message>
        <source>Version before → after</source>
        <translation>升级前版本 → 升级后版本</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>原因</translation>
    </message>
    <message>
        <source>A camera of a running rollout cannot be upgraded from the Upgrade tab, and a camera the Upgrade tab is upgrading cannot join a rollout.</source>
        <translation>批量升级中的相机不能同时在升级页升级，升级页正在升级的相机也不能加入批量升级。</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Export report</source>
        <translation>导出报告</translation>
    </message>
    <message>
        <source>%1 is being upgraded by the rollout; wait until it is done.</source>
        <translation>%1 正在批量升级中，请等待其完成。</translation>
    </message>
    <message>
        <source>Rollout</source>
        <translation>批量升级</translation>
    </message>
    <message>
        <source>Add to rollout</source>
        <translation>加入批量升级</translation>
    </message>
    <message>
        <source>SOC</source>
        <translation>SOC</translation>
    </message>
    <message>
        <source>ARM</source>
        <translation>ARM</translation>
    </message>
    <message>
        <source>SOC&amp;ARM</source>
        <translation>SOC&amp;ARM</translation>
    </message>
    <message>
        <source>MTD</source>
        <translation>MTD</translation>
    </message>
    <message>
        <source>Partition %1</source>
        <translation>分区 %1</translation>
    </message>
    <message>
        <source>Cameras can be added when the running rollout is done.</source>
        <translation>批量升级进行中，完成后才能添加相机。</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>选择固件文件</translation>
    </message>
    <message>
        <source>Firmware files (*.pkg *.bin *.img);;All files (*)</source>
        <translation>固件文件 (*.pkg *.bin *.img);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Add cameras from the device list first (Add to rollout).</source>
        <translation>请先从设备列表添加相机（加入批量升级）。</translation>
    </message>
    <message>
        <source>Choose the firmware file.</source>
        <translation>请选择固件文件。</translation>
    </message>
    <message>
        <source>The Upgrade tab is upgrading %1; wait until it is done or remove it from the rollout.</source>
        <translation>升级页正在升级 %1，请等待其完成或将其从批量升级中移除。</translation>
    </message>
    <message>
        <source>The file name does not match the type.</source>
        <translation>文件名与升级类型不匹配。</translation>
    </message>
    <message>
        <source>Cannot read the firmware file %1.</source>
        <translation>无法读取固件文件 %1。</translation>
    </message>
    <message>
        <source>Cannot use the firmware file: %1</source>
        <translation>无法使用固件文件：%1</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV文件 (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be written: %1</source>
        <translation>无法写入报告：%1</translation>
    </message>
    <message>
        <source>%1 of %2 cameras done</source>
        <translation>已完成 %1/%2 台</translation>
    </message>
    <message>
        <source>%1 confirmed, %2 unchanged, %3 succeeded, %4 failed, %5 skipped</source>
        <translation>已确认 %1，版本未变 %2，成功 %3，失败 %4，跳过 %5</translation>
    </message>
    <message>
        <source> (stopping: running cameras finish)</source>
        <translation>（正在停止：进行中的相机将完成）</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>backing up</source>
        <translation>备份中</translation>
    </message>
    <message>
        <source>querying</source>
        <translation>查询中</translation>
    </message>
    <message>
        <source>uploading</source>
        <translation>上传中</translation>
    </message>
    <message>
        <source>verifying</source>
        <translation>校验中</translation>
    </message>
    <message>
        <source>flashing</source>
        <translation>烧写中</translation>
    </message>
    <message>
        <source>rebooting</source>
        <translation>重启中</translation>
    </message>
    <message>
        <source>confirming</source>
        <translation>确认中</translation>
    </message>
    <message>
        <source>confirmed</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>unchanged</source>
        <translation>版本未变</translation>
    </message>
    <message>
        <source>succeeded</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>no answer to the version query (check the work type)</source>
        <translation>版本查询无应答（请检查工作类型）</translation>
    </message>
    <message>
        <source>connection failed</source>
        <translation>连接失败</translation>
    </message>
    <message>
        <source>the file name does not match the camera</source>
        <translation>文件名与相机不匹配</translation>
    </message>
    <message>
        <source>camera: not enough disk space (U 1)</source>
        <translation>相机：磁盘空间不足 (U 1)</translation>
    </message>
    <message>
        <source>camera: file verification failed (U 6)</source>
        <translation>相机：文件校验失败 (U 6)</translation>
    </message>
    <message>
        <source>camera: upgrade failed (U 8)</source>
        <translation>相机：升级失败 (U 8)</translation>
    </message>
    <message>
        <source>camera: ARM upgrade file not found (E)</source>
        <translation>相机：找不到ARM升级文件 (E)</translation>
    </message>
    <message>
        <source>connection dropped</source>
        <translation>连接中断</translation>
    </message>
    <message>
        <source>firmware file unreadable</source>
        <translation>无法读取固件文件</translation>
    </message>
    <message>
        <source>backup failed</source>
        <translation>备份失败</translation>
    </message>
    <message>
        <source>not back after the reboot</source>
        <translation>重启后未恢复</translation>
    </message>
    <message>
        <source>not a camera address</source>
        <translation>不是摄像机地址</translation>
    </message>
    <message>
        <source>the file name is too long for the record</source>
        <translation>文件名过长，记录放不下</translation>
    </message>
    <message>
        <source>camera: unexpected status</source>
        <translation>摄像机：意外的状态</translation>
    </message>
    <message>
        <source>the camera sent an unusable archive</source>
        <translation>摄像机发来的配置包无法使用</translation>
    </message>
    <message>
        <source>the archive&apos;s MD5 does not match</source>
        <translation>配置包的MD5不符</translation>
    </message>
    <message>
        <source>cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>camera: restore failed</source>
        <translation>摄像机：恢复失败</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>Check versions</source>
        <translation>查询版本</translation>
    </message>
    <message>
        <source>Back up all</source>
        <translation>全部备份</translation>
    </message>
    <message>
        <source>Retry failed and skipped</source>
        <translation>重试失败和跳过的</translation>
    </message>
    <message>
        <source>%1 cameras of this table are upgraded already. Upgrade them again? &quot;Retry failed and skipped&quot; upgrades only the others.</source>
        <translation>此表中已有 %1 台相机升级完成。要再次升级它们吗？“重试失败和跳过的”只升级其余的相机。</translation>
    </message>
    <message>
        <source>The Rollout tab is still at work. Closing the window interrupts it: transfers under way are cut off and cameras not yet started are skipped. Close anyway?</source>
        <translation>批量升级页仍在工作。关闭窗口会中断它：进行中的传输将被切断，尚未开始的相机将被跳过。仍要关闭吗？</translation>
    </message>
    <message>
        <source>%1 answered, %2 failed, %3 skipped</source>
        <translation>已应答 %1，失败 %2，跳过 %3</translation>
    </message>
    <message>
        <source>%1 saved, %2 failed, %3 skipped</source>
        <translation>已保存 %1，失败 %2，跳过 %3</translation>
    </message>
    <message>
        <source>, %1 up to date</source>
        <translation>，已是该版本 %1</translation>
    </message>
    <message>
        <source>, %1 done before</source>
        <translation>，先前已完成 %1</translation>
    </message>
    <message>
        <source>up to date</source>
        <translation>已是该版本</translation>
    </message>
    <message>
        <source>done before</source>
        <translation>先前已完成</translation>
    </message>
    <message>
        <source>answered</source>
        <translation>已应答</translation>
    </message>
    <message>
        <source>saved</source>
        <translation>已保存</translation>
    </message>
    <message>
        <source>already done</source>
        <translation>先前已完成</translation>
    </message>
    <message>
        <source>version contains &quot;%1&quot;</source>
        <translation>版本已包含“%1”</translation>
    </message>
    <message>
        <source>%1 partitions</source>
        <translation>%1 个分区</translation>
    </message>
    <message>
        <source>saved as %1</source>
        <translation>已保存为 %1</translation>
    </message>
    <message>
        <source>interrupted: upgraded, not confirmed</source>
        <translation>已中断：已升级，未确认</translation>
    </message>
    <message>
        <source>stalled: no progress for %1 s</source>
        <translation>传输停滞：%1 秒无进展</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>any model</source>
        <translation>任意型号</translation>
    </message>
    <message>
        <source>other model</source>
        <translation>其他型号</translation>
    </message>
    <message>
        <source>, %1 other model</source>
        <translation>，%1 台其他型号</translation>
    </message>
    <message>
        <source>its version names no model</source>
        <translation>版本信息中没有型号</translation>
    </message>
    <message>
        <source>model %1 was not chosen</source>
        <translation>型号 %1 未被选中</translation>
    </message>
    <message>
        <source>%1% sent</source>
        <translation>已发送 %1%</translation>
    </message>
    <message>
        <source>%1% received</source>
        <translation>已接收 %1%</translation>
    </message>
    <message>
        <source>rebooting (%1 left)</source>
        <translation>重启中（剩余 %1）</translation>
    </message>
    <message>
        <source>now at %1 (was %2)</source>
        <translation>现在位于 %1（原为 %2）</translation>
    </message>
    <message>
        <source> (%1)</source>
        <translation>（%1）</translation>
    </message>
    <message>
        <source>stopped by the operator</source>
        <translation>已由操作员停止</translation>
    </message>
    <message>
        <source>stopped: the canary failed</source>
        <translation>已停止：试点相机失败</translation>
    </message>
    <message>
        <source>Two rows would both go to %1: the latest search found a camera there. Remove one of them or search again.</source>
        <translation>两行都将指向 %1：最近一次搜索在该地址找到了一台相机。请删除其中一行或重新搜索。</translation>
    </message>
    <message>
        <source>These cameras are of several models (%1). Send %2 to every one of them? To upgrade one model only, choose it under Model.</source>
        <translation>这些相机属于多个型号（%1）。确定要把 %2 发送给其中每一台吗？如只升级一种型号，请在“型号”中选择。</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2 台</translation>
    </message>
    <message>
        <source>, </source>
        <translation>、</translation>
    </message>
    <message>
        <source>not known: %1</source>
        <translation>未知：%1 台</translation>
    </message>
    <message numerus="yes">
        <source>stopped: %n failure(s) reached the threshold</source>
        <translation>
            <numerusform>已停止：%n 台失败，达到停止阈值</numerusform>
        </translation>
    </message>
    <message>
        <source>The latest search found another camera (%1) at %2 and %3 nowhere. Remove its row or search again.</source>
        <translation>最近一次搜索在 %2 找到的是另一台相机（%1），而 %3 未被找到。请删除该行或重新搜索。</translation>
    </message>
</context>
</TS>
