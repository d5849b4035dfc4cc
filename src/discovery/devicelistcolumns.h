#ifndef DEVICELISTCOLUMNS_H
#define DEVICELISTCOLUMNS_H

// The columns of the window's device list (treeWidget); every face of the window reads its rows by these.
namespace device_list
{
enum Column : int {
    ColumnNo = 0,
    ColumnIp = 1,
    ColumnNetmask = 2,
    ColumnGateway = 3,
    ColumnMac = 4,
    ColumnUptime = 5,
    ColumnDeviceId = 6,
    ColumnFdns = 7,
    ColumnDhcp = 8,
    ColumnCount = 9,
};
} // namespace device_list

#endif // DEVICELISTCOLUMNS_H
