-- The register database of the desk. Text columns compare and sort without
-- regard to ASCII case, as the office's earlier Access registers did.
CREATE TABLE 发文登记表 (
    发文号 TEXT COLLATE NOCASE,
    标题 TEXT COLLATE NOCASE,
    密级 TEXT COLLATE NOCASE,
    文种 TEXT COLLATE NOCASE,
    主送 TEXT COLLATE NOCASE,
    发布层次 TEXT COLLATE NOCASE,
    发文单位 TEXT COLLATE NOCASE,
    紧急程度 TEXT COLLATE NOCASE,
    成文日期 TEXT COLLATE NOCASE,
    制码号 TEXT COLLATE NOCASE,
    制码单位 TEXT COLLATE NOCASE,
    制码时间 TEXT COLLATE NOCASE,
    版本 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    条码已打 TEXT COLLATE NOCASE,
    文件类型 TEXT COLLATE NOCASE,
    文件数据 BLOB
);
CREATE TABLE 收文登记表 (
    发文号 TEXT COLLATE NOCASE,
    标题 TEXT COLLATE NOCASE,
    密级 TEXT COLLATE NOCASE,
    文种 TEXT COLLATE NOCASE,
    主送 TEXT COLLATE NOCASE,
    发布层次 TEXT COLLATE NOCASE,
    发文单位 TEXT COLLATE NOCASE,
    紧急程度 TEXT COLLATE NOCASE,
    成文日期 TEXT COLLATE NOCASE,
    制码号 TEXT COLLATE NOCASE,
    制码单位 TEXT COLLATE NOCASE,
    制码时间 TEXT COLLATE NOCASE,
    版本 TEXT COLLATE NOCASE,
    备注 TEXT COLLATE NOCASE,
    条码已打 TEXT COLLATE NOCASE,
    文件类型 TEXT COLLATE NOCASE,
    文件数据 BLOB
);
CREATE TABLE 人员信息表 (
    姓名 TEXT COLLATE NOCASE,
    简称 TEXT COLLATE NOCASE
);
CREATE INDEX 发文登记表_发文号 ON 发文登记表 (发文号);
CREATE INDEX 收文登记表_发文号 ON 收文登记表 (发文号);
-- Numbers a desk has proposed and not yet saved, so that two desks on one
-- register never propose the same (会话: the desk; empty once a code number
-- is saved but not yet counted in the register).
CREATE TABLE 号码占用表 (
    种类 TEXT NOT NULL,
    号码 TEXT NOT NULL,
    序列 TEXT NOT NULL,
    序号 INTEGER NOT NULL,
    会话 TEXT,
    时间 TEXT,
    PRIMARY KEY (种类, 号码)
);
-- The trail of every deletion and replacement, written in the transaction of
-- the change (how the chain value is computed: db/AuditTrail.h, README).
CREATE TABLE 操作日志 (
    编号 INTEGER PRIMARY KEY,
    时间 TEXT NOT NULL,
    本地时间 TEXT NOT NULL,
    用户 TEXT NOT NULL,
    主机 TEXT NOT NULL,
    进程 INTEGER NOT NULL,
    操作 TEXT NOT NULL,
    表名 TEXT NOT NULL,
    发文号 TEXT,
    原记录 TEXT NOT NULL,
    附件大小 INTEGER,
    附件摘要 TEXT,
    关联 INTEGER,
    链值 TEXT NOT NULL
);
-- The bytes of each attachment the trail records, by its row of 操作日志.
CREATE TABLE 回收站附件 (
    日志编号 INTEGER PRIMARY KEY,
    文件数据 BLOB NOT NULL
);
