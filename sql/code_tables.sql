-- Contents of the code tables behind the drop-down lists, the same on every
-- database. The lists show the rows in the order they are stored, so the ids
-- run in the order the entries are meant to appear (and a typed digit n picks
-- the n-th entry).

-- Natures of land users.
insert into S_DWXZDM (id, dwxzmc) values (1, '行政');
insert into S_DWXZDM (id, dwxzmc) values (2, '事业');
insert into S_DWXZDM (id, dwxzmc) values (3, '国有');
insert into S_DWXZDM (id, dwxzmc) values (4, '集体');
insert into S_DWXZDM (id, dwxzmc) values (5, '私营');
insert into S_DWXZDM (id, dwxzmc) values (6, '个体');
insert into S_DWXZDM (id, dwxzmc) values (7, '联营');
insert into S_DWXZDM (id, dwxzmc) values (8, '股份制');
insert into S_DWXZDM (id, dwxzmc) values (9, '外商投资');
insert into S_DWXZDM (id, dwxzmc) values (10, '港澳台');
insert into S_DWXZDM (id, dwxzmc) values (11, '个人');
insert into S_DWXZDM (id, dwxzmc) values (12, '其他');

-- Natures of land rights.
insert into S_QSXZ (id, qsxzmc) values (1, '国有土地使用权');
insert into S_QSXZ (id, qsxzmc) values (2, '集体土地所有权');

-- Types of land use right, after the nature-of-right dictionary of the land
-- registration database standard (国有土地租赁 is listed as 租赁, as surveyors
-- write it on the sheet).
insert into S_GYLX (id, GYLXMC) values (1, '划拨');
insert into S_GYLX (id, GYLXMC) values (2, '出让');
insert into S_GYLX (id, GYLXMC) values (3, '作价出资（入股）');
insert into S_GYLX (id, GYLXMC) values (4, '租赁');
insert into S_GYLX (id, GYLXMC) values (5, '授权经营');
insert into S_GYLX (id, GYLXMC) values (6, '家庭承包');
insert into S_GYLX (id, GYLXMC) values (7, '其他方式承包');
insert into S_GYLX (id, GYLXMC) values (8, '批准拨用');
insert into S_GYLX (id, GYLXMC) values (9, '入股');
insert into S_GYLX (id, GYLXMC) values (10, '联营');

-- Current land-use classification (GB/T 21010-2017): each first-level class
-- followed by its second-level classes.
insert into S_DLDM (id, DLDM, DLMC) values (1, '01', '耕地');
insert into S_DLDM (id, DLDM, DLMC) values (2, '0101', '水田');
insert into S_DLDM (id, DLDM, DLMC) values (3, '0102', '水浇地');
insert into S_DLDM (id, DLDM, DLMC) values (4, '0103', '旱地');
insert into S_DLDM (id, DLDM, DLMC) values (5, '02', '园地');
insert into S_DLDM (id, DLDM, DLMC) values (6, '0201', '果园');
insert into S_DLDM (id, DLDM, DLMC) values (7, '0202', '茶园');
insert into S_DLDM (id, DLDM, DLMC) values (8, '0203', '橡胶园');
insert into S_DLDM (id, DLDM, DLMC) values (9, '0204', '其他园地');
insert into S_DLDM (id, DLDM, DLMC) values (10, '03', '林地');
insert into S_DLDM (id, DLDM, DLMC) values (11, '0301', '乔木林地');
insert into S_DLDM (id, DLDM, DLMC) values (12, '0302', '竹林地');
insert into S_DLDM (id, DLDM, DLMC) values (13, '0303', '红树林地');
insert into S_DLDM (id, DLDM, DLMC) values (14, '0304', '森林沼泽');
insert into S_DLDM (id, DLDM, DLMC) values (15, '0305', '灌木林地');
insert into S_DLDM (id, DLDM, DLMC) values (16, '0306', '灌丛沼泽');
insert into S_DLDM (id, DLDM, DLMC) values (17, '0307', '其他林地');
insert into S_DLDM (id, DLDM, DLMC) values (18, '04', '草地');
insert into S_DLDM (id, DLDM, DLMC) values (19, '0401', '天然牧草地');
insert into S_DLDM (id, DLDM, DLMC) values (20, '0402', '沼泽草地');
insert into S_DLDM (id, DLDM, DLMC) values (21, '0403', '人工牧草地');
insert into S_DLDM (id, DLDM, DLMC) values (22, '0404', '其他草地');
insert into S_DLDM (id, DLDM, DLMC) values (23, '05', '商服用地');
insert into S_DLDM (id, DLDM, DLMC) values (24, '0501', '零售商业用地');
insert into S_DLDM (id, DLDM, DLMC) values (25, '0502', '批发市场用地');
insert into S_DLDM (id, DLDM, DLMC) values (26, '0503', '餐饮用地');
insert into S_DLDM (id, DLDM, DLMC) values (27, '0504', '旅馆用地');
insert into S_DLDM (id, DLDM, DLMC) values (28, '0505', '商务金融用地');
insert into S_DLDM (id, DLDM, DLMC) values (29, '0506', '娱乐用地');
insert into S_DLDM (id, DLDM, DLMC) values (30, '0507', '其他商服用地');
insert into S_DLDM (id, DLDM, DLMC) values (31, '06', '工矿仓储用地');
insert into S_DLDM (id, DLDM, DLMC) values (32, '0601', '工业用地');
insert into S_DLDM (id, DLDM, DLMC) values (33, '0602', '采矿用地');
insert into S_DLDM (id, DLDM, DLMC) values (34, '0603', '盐田');
insert into S_DLDM (id, DLDM, DLMC) values (35, '0604', '仓储用地');
insert into S_DLDM (id, DLDM, DLMC) values (36, '07', '住宅用地');
insert into S_DLDM (id, DLDM, DLMC) values (37, '0701', '城镇住宅用地');
insert into S_DLDM (id, DLDM, DLMC) values (38, '0702', '农村宅基地');
insert into S_DLDM (id, DLDM, DLMC) values (39, '08', '公共管理与公共服务用地');
insert into S_DLDM (id, DLDM, DLMC) values (40, '0801', '机关团体用地');
insert into S_DLDM (id, DLDM, DLMC) values (41, '0802', '新闻出版用地');
insert into S_DLDM (id, DLDM, DLMC) values (42, '0803', '教育用地');
insert into S_DLDM (id, DLDM, DLMC) values (43, '0804', '科研用地');
insert into S_DLDM (id, DLDM, DLMC) values (44, '0805', '医疗卫生用地');
insert into S_DLDM (id, DLDM, DLMC) values (45, '0806', '社会福利用地');
insert into S_DLDM (id, DLDM, DLMC) values (46, '0807', '文化设施用地');
insert into S_DLDM (id, DLDM, DLMC) values (47, '0808', '体育用地');
insert into S_DLDM (id, DLDM, DLMC) values (48, '0809', '公用设施用地');
insert into S_DLDM (id, DLDM, DLMC) values (49, '0810', '公园与绿地');
insert into S_DLDM (id, DLDM, DLMC) values (50, '09', '特殊用地');
insert into S_DLDM (id, DLDM, DLMC) values (51, '0901', '军事设施用地');
insert into S_DLDM (id, DLDM, DLMC) values (52, '0902', '使领馆用地');
insert into S_DLDM (id, DLDM, DLMC) values (53, '0903', '监教场所用地');
insert into S_DLDM (id, DLDM, DLMC) values (54, '0904', '宗教用地');
insert into S_DLDM (id, DLDM, DLMC) values (55, '0905', '殡葬用地');
insert into S_DLDM (id, DLDM, DLMC) values (56, '0906', '风景名胜设施用地');
insert into S_DLDM (id, DLDM, DLMC) values (57, '10', '交通运输用地');
insert into S_DLDM (id, DLDM, DLMC) values (58, '1001', '铁路用地');
insert into S_DLDM (id, DLDM, DLMC) values (59, '1002', '轨道交通用地');
insert into S_DLDM (id, DLDM, DLMC) values (60, '1003', '公路用地');
insert into S_DLDM (id, DLDM, DLMC) values (61, '1004', '城镇村道路用地');
insert into S_DLDM (id, DLDM, DLMC) values (62, '1005', '交通服务场站用地');
insert into S_DLDM (id, DLDM, DLMC) values (63, '1006', '农村道路');
insert into S_DLDM (id, DLDM, DLMC) values (64, '1007', '机场用地');
insert into S_DLDM (id, DLDM, DLMC) values (65, '1008', '港口码头用地');
insert into S_DLDM (id, DLDM, DLMC) values (66, '1009', '管道运输用地');
insert into S_DLDM (id, DLDM, DLMC) values (67, '11', '水域及水利设施用地');
insert into S_DLDM (id, DLDM, DLMC) values (68, '1101', '河流水面');
insert into S_DLDM (id, DLDM, DLMC) values (69, '1102', '湖泊水面');
insert into S_DLDM (id, DLDM, DLMC) values (70, '1103', '水库水面');
insert into S_DLDM (id, DLDM, DLMC) values (71, '1104', '坑塘水面');
insert into S_DLDM (id, DLDM, DLMC) values (72, '1105', '沿海滩涂');
insert into S_DLDM (id, DLDM, DLMC) values (73, '1106', '内陆滩涂');
insert into S_DLDM (id, DLDM, DLMC) values (74, '1107', '沟渠');
insert into S_DLDM (id, DLDM, DLMC) values (75, '1108', '沼泽地');
insert into S_DLDM (id, DLDM, DLMC) values (76, '1109', '水工建筑用地');
insert into S_DLDM (id, DLDM, DLMC) values (77, '1110', '冰川及永久积雪');
insert into S_DLDM (id, DLDM, DLMC) values (78, '12', '其他土地');
insert into S_DLDM (id, DLDM, DLMC) values (79, '1201', '空闲地');
insert into S_DLDM (id, DLDM, DLMC) values (80, '1202', '设施农用地');
insert into S_DLDM (id, DLDM, DLMC) values (81, '1203', '田坎');
insert into S_DLDM (id, DLDM, DLMC) values (82, '1204', '盐碱地');
insert into S_DLDM (id, DLDM, DLMC) values (83, '1205', '沙地');
insert into S_DLDM (id, DLDM, DLMC) values (84, '1206', '裸土地');
insert into S_DLDM (id, DLDM, DLMC) values (85, '1207', '裸岩石砾地');

-- Kinds of boundary marker.
insert into S_JBLX (id, JBLXMC) values (1, '钢钉');
insert into S_JBLX (id, JBLXMC) values (2, '混凝土桩');
insert into S_JBLX (id, JBLXMC) values (3, '石灰桩');
insert into S_JBLX (id, JBLXMC) values (4, '喷漆');
insert into S_JBLX (id, JBLXMC) values (5, '其它');

-- Boundary line categories.
insert into S_JXLB (id, JXLBMC) values (1, '围墙');
insert into S_JXLB (id, JXLBMC) values (2, '墙壁');
insert into S_JXLB (id, JXLBMC) values (3, '栅栏');
insert into S_JXLB (id, JXLBMC) values (4, '铁丝网');

-- Boundary line positions.
insert into S_JXWZDM (id, JXWZ) values (1, '内');
insert into S_JXWZDM (id, JXWZ) values (2, '中');
insert into S_JXWZDM (id, JXWZ) values (3, '外');
