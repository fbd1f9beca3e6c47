-- Dalvane sample database: a small trading company.
-- Create it with:  sqlite3 sample.db < sample.sql
PRAGMA foreign_keys = ON;

BEGIN TRANSACTION;

CREATE TABLE regions (
    region_code   TEXT        NOT NULL PRIMARY KEY,
    region_name   VARCHAR(60) NOT NULL UNIQUE
);

CREATE TABLE departments (
    department_id INTEGER     NOT NULL PRIMARY KEY,
    name          VARCHAR(60) NOT NULL UNIQUE,
    cost_centre   CHAR(6)     NOT NULL DEFAULT 'CC0000'
);

CREATE TABLE staff (
    staff_id      INTEGER     NOT NULL PRIMARY KEY,
    first_name    VARCHAR(40) NOT NULL,
    last_name     VARCHAR(40) NOT NULL,
    email         VARCHAR(120) NOT NULL UNIQUE,
    department_id INTEGER     NOT NULL,
    manager_id    INTEGER,
    hired_on      DATE        NOT NULL DEFAULT CURRENT_DATE,
    salary        DECIMAL(10,2) CHECK (salary >= 0),
    CONSTRAINT fk_staff_department FOREIGN KEY (department_id)
        REFERENCES departments (department_id) ON UPDATE CASCADE ON DELETE RESTRICT,
    CONSTRAINT fk_staff_manager FOREIGN KEY (manager_id)
        REFERENCES staff (staff_id) ON UPDATE CASCADE ON DELETE SET NULL
);
CREATE INDEX ix_staff_name ON staff (last_name, first_name);

CREATE TABLE customers (
    customer_id   INTEGER     NOT NULL PRIMARY KEY,
    company_name  VARCHAR(80) NOT NULL,
    contact_name  VARCHAR(60),
    phone         VARCHAR(24),
    region_code   TEXT        REFERENCES regions (region_code) ON UPDATE CASCADE ON DELETE SET NULL,
    account_rep   INTEGER     REFERENCES staff (staff_id) ON UPDATE CASCADE ON DELETE SET NULL,
    credit_limit  DECIMAL(12,2) NOT NULL DEFAULT 1000 CHECK (credit_limit >= 0),
    created_at    TIMESTAMP   NOT NULL DEFAULT CURRENT_TIMESTAMP
);
CREATE INDEX ix_customers_company ON customers (company_name);

CREATE TABLE customer_addresses (
    customer_id   INTEGER     NOT NULL,
    address_type  CHAR(1)     NOT NULL CHECK (address_type IN ('B', 'S')),
    street        VARCHAR(120) NOT NULL,
    city          VARCHAR(60) NOT NULL,
    postal_code   VARCHAR(12),
    country       VARCHAR(40) NOT NULL DEFAULT 'Ireland',
    PRIMARY KEY (customer_id, address_type),
    CONSTRAINT fk_address_customer FOREIGN KEY (customer_id)
        REFERENCES customers (customer_id) ON UPDATE CASCADE ON DELETE CASCADE
);

CREATE TABLE suppliers (
    supplier_id   INTEGER     NOT NULL PRIMARY KEY,
    company_name  VARCHAR(80) NOT NULL UNIQUE,
    contact_name  VARCHAR(60),
    country       VARCHAR(40),
    rating        SMALLINT    CHECK (rating BETWEEN 1 AND 5)
);

CREATE TABLE product_categories (
    category_id   INTEGER     NOT NULL PRIMARY KEY,
    parent_id     INTEGER     REFERENCES product_categories (category_id) ON DELETE CASCADE,
    name          VARCHAR(60) NOT NULL,
    description   TEXT
);

CREATE TABLE products (
    product_id    INTEGER     NOT NULL PRIMARY KEY,
    sku           VARCHAR(20) NOT NULL UNIQUE,
    name          VARCHAR(100) NOT NULL,
    category_id   INTEGER     NOT NULL,
    unit_price    DECIMAL(10,2) NOT NULL DEFAULT 0 CHECK (unit_price >= 0),
    discontinued  BOOLEAN     NOT NULL DEFAULT 0,
    CONSTRAINT fk_product_category FOREIGN KEY (category_id)
        REFERENCES product_categories (category_id) ON UPDATE CASCADE ON DELETE RESTRICT
);
CREATE INDEX ix_products_category ON products (category_id);

CREATE TABLE product_suppliers (
    product_id    INTEGER     NOT NULL,
    supplier_id   INTEGER     NOT NULL,
    supplier_sku  VARCHAR(30),
    cost_price    DECIMAL(10,2) NOT NULL,
    lead_days     INTEGER     NOT NULL DEFAULT 7,
    PRIMARY KEY (product_id, supplier_id),
    CONSTRAINT fk_ps_product FOREIGN KEY (product_id)
        REFERENCES products (product_id) ON UPDATE CASCADE ON DELETE CASCADE,
    CONSTRAINT fk_ps_supplier FOREIGN KEY (supplier_id)
        REFERENCES suppliers (supplier_id) ON UPDATE CASCADE ON DELETE CASCADE
);

CREATE TABLE price_history (
    product_id    INTEGER     NOT NULL,
    valid_from    DATE        NOT NULL,
    unit_price    DECIMAL(10,2) NOT NULL,
    changed_by    INTEGER     REFERENCES staff (staff_id) ON DELETE SET NULL,
    PRIMARY KEY (product_id, valid_from),
    CONSTRAINT fk_price_product FOREIGN KEY (product_id)
        REFERENCES products (product_id) ON DELETE CASCADE
);

CREATE TABLE warehouses (
    warehouse_id  INTEGER     NOT NULL PRIMARY KEY,
    name          VARCHAR(60) NOT NULL UNIQUE,
    region_code   TEXT        NOT NULL REFERENCES regions (region_code) ON UPDATE CASCADE
);

CREATE TABLE inventory (
    warehouse_id  INTEGER     NOT NULL,
    product_id    INTEGER     NOT NULL,
    quantity      INTEGER     NOT NULL DEFAULT 0 CHECK (quantity >= 0),
    reorder_level INTEGER     NOT NULL DEFAULT 10,
    PRIMARY KEY (warehouse_id, product_id),
    CONSTRAINT fk_inventory_warehouse FOREIGN KEY (warehouse_id)
        REFERENCES warehouses (warehouse_id) ON UPDATE CASCADE ON DELETE CASCADE,
    CONSTRAINT fk_inventory_product FOREIGN KEY (product_id)
        REFERENCES products (product_id) ON UPDATE CASCADE ON DELETE RESTRICT
);

CREATE TABLE shippers (
    shipper_id    INTEGER     NOT NULL PRIMARY KEY,
    company_name  VARCHAR(80) NOT NULL,
    phone         VARCHAR(24)
);

CREATE TABLE orders (
    order_id      INTEGER     NOT NULL PRIMARY KEY,
    customer_id   INTEGER     NOT NULL,
    staff_id      INTEGER,
    ordered_at    TIMESTAMP   NOT NULL DEFAULT CURRENT_TIMESTAMP,
    required_on   DATE,
    status        VARCHAR(12) NOT NULL DEFAULT 'open'
                  CHECK (status IN ('open', 'paid', 'shipped', 'cancelled')),
    ship_to_type  CHAR(1)     NOT NULL DEFAULT 'S',
    total_amount  DECIMAL(12,2) NOT NULL DEFAULT 0,
    CONSTRAINT fk_order_customer FOREIGN KEY (customer_id)
        REFERENCES customers (customer_id) ON UPDATE CASCADE ON DELETE RESTRICT,
    CONSTRAINT fk_order_staff FOREIGN KEY (staff_id)
        REFERENCES staff (staff_id) ON UPDATE CASCADE ON DELETE SET NULL,
    CONSTRAINT fk_order_ship_to FOREIGN KEY (customer_id, ship_to_type)
        REFERENCES customer_addresses (customer_id, address_type) ON UPDATE CASCADE ON DELETE NO ACTION
);
CREATE INDEX ix_orders_customer ON orders (customer_id, ordered_at);
CREATE INDEX ix_orders_status ON orders (status);

CREATE TABLE order_items (
    order_id      INTEGER     NOT NULL,
    line_no       INTEGER     NOT NULL,
    product_id    INTEGER     NOT NULL,
    quantity      INTEGER     NOT NULL CHECK (quantity > 0),
    unit_price    DECIMAL(10,2) NOT NULL,
    discount      DECIMAL(4,3) NOT NULL DEFAULT 0 CHECK (discount BETWEEN 0 AND 1),
    PRIMARY KEY (order_id, line_no),
    CONSTRAINT fk_item_order FOREIGN KEY (order_id)
        REFERENCES orders (order_id) ON UPDATE CASCADE ON DELETE CASCADE,
    CONSTRAINT fk_item_product FOREIGN KEY (product_id)
        REFERENCES products (product_id) ON UPDATE CASCADE ON DELETE RESTRICT
);
CREATE UNIQUE INDEX ux_order_items_product ON order_items (order_id, product_id);

CREATE TABLE payments (
    payment_id    INTEGER     NOT NULL PRIMARY KEY,
    order_id      INTEGER     NOT NULL REFERENCES orders (order_id) ON UPDATE CASCADE ON DELETE CASCADE,
    paid_at       TIMESTAMP   NOT NULL DEFAULT CURRENT_TIMESTAMP,
    amount        DECIMAL(12,2) NOT NULL CHECK (amount > 0),
    method        VARCHAR(10) NOT NULL DEFAULT 'card' CHECK (method IN ('card', 'transfer', 'cash'))
);
CREATE INDEX ix_payments_order ON payments (order_id);

CREATE TABLE shipments (
    shipment_id   INTEGER     NOT NULL PRIMARY KEY,
    order_id      INTEGER     NOT NULL REFERENCES orders (order_id) ON UPDATE CASCADE ON DELETE CASCADE,
    shipper_id    INTEGER     NOT NULL REFERENCES shippers (shipper_id) ON UPDATE CASCADE ON DELETE RESTRICT,
    warehouse_id  INTEGER     NOT NULL REFERENCES warehouses (warehouse_id) ON UPDATE CASCADE ON DELETE RESTRICT,
    shipped_at    TIMESTAMP,
    tracking_no   VARCHAR(40) UNIQUE
);

CREATE TABLE audit_log (
    audit_id      INTEGER     NOT NULL PRIMARY KEY AUTOINCREMENT,
    table_name    VARCHAR(40) NOT NULL,
    row_key       VARCHAR(40) NOT NULL,
    action        VARCHAR(10) NOT NULL,
    logged_at     TIMESTAMP   NOT NULL DEFAULT CURRENT_TIMESTAMP
);

-- Views

CREATE VIEW v_order_totals AS
SELECT o.order_id, o.customer_id, c.company_name,
       SUM(i.quantity * i.unit_price * (1 - i.discount)) AS net_total
FROM orders o
JOIN customers c ON c.customer_id = o.customer_id
JOIN order_items i ON i.order_id = o.order_id
GROUP BY o.order_id, o.customer_id, c.company_name;

CREATE VIEW v_low_stock AS
SELECT w.name AS warehouse, p.sku, p.name AS product, inv.quantity, inv.reorder_level
FROM inventory inv
JOIN warehouses w ON w.warehouse_id = inv.warehouse_id
JOIN products p ON p.product_id = inv.product_id
WHERE inv.quantity < inv.reorder_level AND p.discontinued = 0;

CREATE VIEW v_staff_directory AS
SELECT s.staff_id, s.first_name || ' ' || s.last_name AS full_name, s.email,
       d.name AS department, m.last_name AS manager
FROM staff s
JOIN departments d ON d.department_id = s.department_id
LEFT JOIN staff m ON m.staff_id = s.manager_id;

CREATE VIEW v_supplier_products AS
SELECT sup.company_name AS supplier, p.sku, p.name, ps.cost_price, ps.lead_days
FROM product_suppliers ps
JOIN suppliers sup ON sup.supplier_id = ps.supplier_id
JOIN products p ON p.product_id = ps.product_id;

-- Triggers

CREATE TRIGGER trg_order_items_total AFTER INSERT ON order_items
BEGIN
    UPDATE orders
       SET total_amount = total_amount + NEW.quantity * NEW.unit_price * (1 - NEW.discount)
     WHERE order_id = NEW.order_id;
END;

CREATE TRIGGER trg_products_price_history AFTER UPDATE OF unit_price ON products
WHEN OLD.unit_price <> NEW.unit_price
BEGIN
    INSERT INTO price_history (product_id, valid_from, unit_price)
    VALUES (NEW.product_id, DATE('now'), NEW.unit_price);
END;

CREATE TRIGGER trg_orders_audit AFTER UPDATE OF status ON orders
BEGIN
    INSERT INTO audit_log (table_name, row_key, action)
    VALUES ('orders', NEW.order_id, 'status:' || NEW.status);
END;

CREATE TRIGGER trg_payments_mark_paid AFTER INSERT ON payments
BEGIN
    UPDATE orders SET status = 'paid'
     WHERE order_id = NEW.order_id AND status = 'open';
END;

-- Rows

INSERT INTO regions VALUES ('EU-W', 'Western Europe'), ('EU-N', 'Northern Europe'), ('NA-E', 'North America East');
INSERT INTO departments VALUES (1, 'Sales', 'CC1000'), (2, 'Warehouse', 'CC2000'), (3, 'Finance', 'CC3000');
INSERT INTO staff VALUES
    (1, 'Aoife', 'Brennan', 'aoife.brennan@example.com', 1, NULL, '2015-03-02', 72000),
    (2, 'Tomas', 'Keane', 'tomas.keane@example.com', 1, 1, '2018-09-17', 51000),
    (3, 'Ines', 'Moreau', 'ines.moreau@example.com', 2, 1, '2019-01-07', 43000),
    (4, 'Lars', 'Holm', 'lars.holm@example.com', 3, 1, '2020-06-15', 58000);
INSERT INTO customers (customer_id, company_name, contact_name, phone, region_code, account_rep, credit_limit) VALUES
    (1, 'Harbour Foods Ltd', 'Niamh Walsh', '+353 1 555 0101', 'EU-W', 2, 5000),
    (2, 'Nordlicht GmbH', 'Jonas Berg', '+49 40 555 0199', 'EU-N', 2, 12000),
    (3, 'Maple Street Deli', 'Grace Lee', '+1 617 555 0144', 'NA-E', 1, 2500);
INSERT INTO customer_addresses VALUES
    (1, 'B', '12 Quay Street', 'Galway', 'H91 X2Y3', 'Ireland'),
    (1, 'S', 'Unit 4, Dock Road', 'Galway', 'H91 K7P1', 'Ireland'),
    (2, 'S', 'Hafenstrasse 8', 'Hamburg', '20457', 'Germany'),
    (3, 'S', '400 Maple Street', 'Boston', '02108', 'USA');
INSERT INTO suppliers VALUES (1, 'Atlantic Produce', 'Sean Doyle', 'Ireland', 4), (2, 'Fjord Fisheries', 'Kari Dahl', 'Norway', 5);
INSERT INTO product_categories VALUES (1, NULL, 'Food', 'Everything edible'), (2, 1, 'Seafood', NULL), (3, 1, 'Dairy', NULL);
INSERT INTO products VALUES
    (1, 'SF-SAL-01', 'Smoked salmon 200g', 2, 8.50, 0),
    (2, 'SF-MUS-02', 'Rope mussels 1kg', 2, 6.20, 0),
    (3, 'DA-BUT-01', 'Salted butter 250g', 3, 2.90, 0);
INSERT INTO product_suppliers VALUES (1, 2, 'FF-200', 5.10, 5), (2, 1, 'AP-MUS', 3.40, 2), (3, 1, 'AP-BUT', 1.70, 3);
INSERT INTO warehouses VALUES (1, 'Galway Central', 'EU-W'), (2, 'Hamburg Port', 'EU-N');
INSERT INTO inventory VALUES (1, 1, 40, 20), (1, 2, 8, 15), (1, 3, 120, 50), (2, 1, 5, 10);
INSERT INTO shippers VALUES (1, 'Swift Freight', '+353 1 555 0177'), (2, 'Nordic Line', '+47 22 555 0123');
INSERT INTO orders (order_id, customer_id, staff_id, ordered_at, required_on, status, ship_to_type) VALUES
    (1001, 1, 2, '2026-03-01 09:30:00', '2026-03-05', 'open', 'S'),
    (1002, 2, 2, '2026-03-02 14:10:00', '2026-03-09', 'open', 'S');
INSERT INTO order_items VALUES (1001, 1, 1, 10, 8.50, 0), (1001, 2, 3, 24, 2.90, 0.05), (1002, 1, 2, 30, 6.20, 0.10);
INSERT INTO payments (payment_id, order_id, paid_at, amount, method) VALUES (1, 1001, '2026-03-03 11:00:00', 151.12, 'transfer');
INSERT INTO shipments VALUES (1, 1001, 1, 1, '2026-03-04 07:45:00', 'SWF-000981');

COMMIT;
