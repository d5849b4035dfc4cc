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
</context>
<context>
    <name>MyThread</name>
    <message>
        <source>Day</source>
        <translation>天</translation>
    </message>
</context>
</TS>
